#include "nomenclature/Nomenclature.h"

#include "nomenclature/NomenclatureRecord.h"
#include "platform/MajError.h"
#include "run/Step.h"

namespace maj {

using namespace nomen;

void detruitcodesinami(Form1Core& f)
{
    // The purge is silent: the codes left are harmless. Deletions it cannot commit are told by the caller.
    runStep(
        f, "detruitcodesinami",
        [&] {
            Recordset& rs = f.data.Data1.recordset();
            for (const QString& code : purgedCodes()) {
                rs.findFirst(codeCriterion(code));
                if (!rs.noMatch())
                    rs.deleteCurrent();
            }
        },
        silently, LostWrites::ToCaller);
}

} // namespace maj
