#include "nomenclature/Nomenclature.h"

#include "platform/MajError.h"
#include "run/PendingRecord.h"
#include "run/Step.h"

namespace maj {

void rejetsetar(Form1Core& f)
{
    static const std::pair<const char*, const char*> rejections[] = {
        {"172", "Code nomenclature non permis dans efac"},
        {"175", "Code nomenclature non permis dans la consultation tarif mais permis dans efac"},
    };
    DataSource& source = f.data.Data13;
    runStep(
        f, "rejetsetar",
        [&] {
            source.bind(Installation::rejectionsDatabase(), QStringLiteral("REJETS"));
            Recordset& rs = source.recordset();
            for (const auto& [code, text] : rejections) {
                PendingRecord row(rs, true);
                rs.setField(0, QString::fromUtf8(code));
                rs.setField(1, QString::fromUtf8(text));
                row.update();
            }
            // Releasing commits the two rows.
            source.release();
        },
        [&](const MajError&) {
            f.ui.message(QStringLiteral(
                "La mise à jour des dénominations des erreurs de rejets e-tar a échoué. (Peu important)"));
        });
}

} // namespace maj
