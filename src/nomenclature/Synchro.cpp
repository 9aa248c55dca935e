#include "nomenclature/Nomenclature.h"

#include "nomenclature/NomenclatureRecord.h"
#include "nomenclature/StepSupport.h"
#include "platform/MajError.h"
#include "run/Step.h"

namespace maj {

using namespace nomen;

void synchrotrajet(Form1Core& f)
{
    runStep(
        f, "synchrotrajet",
        [&] {
            f.data.Data1.bind(Installation::journeysDatabase(), QStringLiteral("nomenclature"));
            f.data.Data2.bind(Installation::patientDatabase(), QStringLiteral("nomenclature"));
            Recordset& reduced = f.data.Data1.recordset();
            Recordset& user = f.data.Data2.recordset();
            const qint64 total = countFromFirst(user);
            qint64 done = 0;
            f.window.showRows(done, total);
            while (!user.isEof()) {
                reduced.findFirst(codeCriterion(user.field(1).toString()));
                const Step step = reduced.noMatch() ? Step::SynchroInsert : Step::SynchroUpdate;
                if (addsRow(step))
                    reduced.addNew();
                else
                    reduced.edit();
                writeRow(reduced, user, step, f.settings.LanguageCode, f.settings.ReleaseDate);
                reduced.update();
                user.moveNext();
                f.window.showRows(++done, total);
            }
        },
        [&](const MajError& e) {
            dropPending(f.data.Data1);
            f.ui.message(e.description());
            f.ui.message(QStringLiteral("La synchronisation de la nomenclature minorée a échoué"));
        });
}

} // namespace maj
