#include "nomenclature/Nomenclature.h"

#include "nomenclature/NomenclatureRecord.h"
#include "platform/MajError.h"
#include "run/PendingRecord.h"
#include "run/Step.h"

namespace maj {

using namespace nomen;

namespace {

// One walk of the release table: nouv adds the codes the user's table lacks, anciens refreshes
// the ones it holds.
void mergeRelease(Form1Core& f, Step step)
{
    const bool adds = step == Step::Nouv;
    Recordset& release = f.data.Data2.recordset();
    const qint64 total = countFromFirst(release);
    Recordset& user = f.data.Data1.recordset();
    qint64 done = 0;
    f.window.showRows(done, total);
    while (!release.isEof()) {
        user.findFirst(codeCriterion(release.field(1).toString()));
        if (user.noMatch() == adds) {
            PendingRecord row(user, adds);
            writeRow(user, release, step, f.settings.LanguageCode, f.settings.ReleaseDate);
            row.update();
        }
        release.moveNext();
        f.window.showRows(++done, total);
    }
}

} // namespace

void nouv(Form1Core& f)
{
    // The message names a release row: writes lost at the commit after the last row go to the
    // sequence's handler, which can tell them.
    runStep(
        f, "nouv", [&] { mergeRelease(f, Step::Nouv); },
        [&](const MajError&) {
            // Without a current release row (an empty release table) building the message fails too,
            // and that failure goes to the caller.
            Recordset& release = f.data.Data2.recordset();
            f.ui.message(release.field(0).toString() + QStringLiteral(" ( ") + release.field(1).toString() +
                         QStringLiteral(" ) n'a pas été ajouté pour cause de doublon"));
        },
        LostWrites::ToCaller);
}

void anciens(Form1Core& f)
{
    runStep(
        f, "anciens", [&] { mergeRelease(f, Step::Anciens); },
        [&](const MajError& e) {
            f.ui.message(QStringLiteral("Erreur dans les modifications de la nomenclature ! ") + e.description());
        });
}

} // namespace maj
