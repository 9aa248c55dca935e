#include "nomenclature/Nomenclature.h"

#include "nomenclature/NomenclatureRecord.h"
#include "platform/MajError.h"
#include "run/Step.h"

namespace maj {

using namespace nomen;

namespace {

void checkDuplicates(Form1Core& f)
{
    f.ui.message(QStringLiteral("Vérification de la validité de votre base de données de nomenclature !"));

    DataSource& table = f.data.Data1;
    DataSource& probe = f.data.Data2;
    table.bind(Installation::patientDatabase(), QStringLiteral("nomenclature"));
    probe.setDatabaseName(Installation::patientDatabase());
    Recordset& rows = table.recordset();
    // An empty table has no duplicate: nothing to move to.
    const qint64 total = rows.isEof() ? 0 : countFromFirst(rows);
    qint64 done = 0;
    f.window.showRows(done, total);
    while (!rows.isEof()) {
        const Value abbreviation = rows.field(0);
        probe.setRecordSource(abbreviationQuery(abbreviation));
        probe.refresh();
        Recordset& sharing = probe.recordset();
        // The selection holds the row itself; an abbreviation is shared when it holds another.
        const qint64 count = sharing.isEof() ? 0 : countFromFirst(sharing);
        if (count > 1) {
            f.window.btnquitterVisible = f.window.lVisible = true;
            f.window.l.append(QStringLiteral(" "));
            f.window.l.append(QStringLiteral("L'abréviation  ") + abbreviation.toString() + QStringLiteral(" de ") +
                              rows.field(1).toString() + QStringLiteral(" ") + rows.field(2).toString() +
                              QStringLiteral(" est à modifier : voir doublon(s) dans la liste"));
        }
        rows.moveNext();
        f.window.showRows(++done, total);
    }

    if (!f.window.lVisible) {
        f.ui.message(QStringLiteral("Vérification terminée !"));
        f.ui.endProgram();
    }
    f.window.notify();
}

} // namespace

void btnbd_Click(Form1Core& f)
{
    // No handling of its own: every failure goes to the caller.
    runStep(
        f, "btnbd_Click", [&] { checkDuplicates(f); }, passOn);
}

} // namespace maj
