#include "Nomenclature.h"

#include "Logging.h"
#include "MajError.h"
#include "NomenclatureRecord.h"
#include "StepSupport.h"

namespace maj {

using namespace nomen;

void nouv(Form1Core& f)
{
    StepScope scope("nouv");
    try {
        Recordset& release = f.data.Data2.recordset();
        const qint64 total = countFromFirst(release);
        Recordset& user = f.data.Data1.recordset();
        qint64 done = 0;
        f.window.showRows(done, total);
        while (!release.isEof()) {
            user.findFirst(codeCriterion(release.field(1).toString()));
            if (user.noMatch()) {
                user.addNew();
                writeRow(user, release, Step::Nouv, f.settings.LanguageCode, f.settings.ReleaseDate);
                user.update();
            }
            release.moveNext();
            f.window.showRows(++done, total);
        }
    } catch (const MajError& e) {
        qCDebug(lcDb) << "nouv:" << e.what();
        dropPending(f.data.Data1);
        // Without a current release row (an empty release table) building the message fails too,
        // and that failure goes to the caller.
        Recordset& release = f.data.Data2.recordset();
        const QString text = release.field(0).toString() + QStringLiteral(" ( ") + release.field(1).toString() +
                             QStringLiteral(" ) n'a pas été ajouté pour cause de doublon");
        f.ui.message(text);
    }
}

void anciens(Form1Core& f)
{
    StepScope scope("anciens");
    try {
        Recordset& release = f.data.Data2.recordset();
        const qint64 total = countFromFirst(release);
        Recordset& user = f.data.Data1.recordset();
        qint64 done = 0;
        f.window.showRows(done, total);
        while (!release.isEof()) {
            user.findFirst(codeCriterion(release.field(1).toString()));
            if (!user.noMatch()) {
                user.edit();
                writeRow(user, release, Step::Anciens, f.settings.LanguageCode, f.settings.ReleaseDate);
                user.update();
            }
            release.moveNext();
            f.window.showRows(++done, total);
        }
    } catch (const MajError& e) {
        dropPending(f.data.Data1);
        f.ui.message(QStringLiteral("Erreur dans les modifications de la nomenclature ! ") + e.description());
    }
}

} // namespace maj
