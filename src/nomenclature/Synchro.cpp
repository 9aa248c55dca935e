#include "nomenclature/Nomenclature.h"

#include "nomenclature/NomenclatureRecord.h"
#include "platform/MajError.h"
#include "run/PendingRecord.h"
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
                const bool adds = reduced.noMatch();
                PendingRecord row(reduced, adds);
                writeRow(reduced, user, adds ? Step::SynchroInsert : Step::SynchroUpdate, f.settings.LanguageCode,
                         f.settings.ReleaseDate);
                row.update();
                user.moveNext();
                f.window.showRows(++done, total);
            }
        },
        [&](const MajError& e) {
            f.ui.message(e.description());
            f.ui.message(QStringLiteral("La synchronisation de la nomenclature minorée a échoué"));
        });
}

} // namespace maj
