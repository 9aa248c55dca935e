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
            // The codes it deletes, in order.
            for (const char* code :
                 {"308335.", "308335,", "308335;", "308335:", "308335", "307274.", "305653,", "305616,"}) {
                rs.findFirst(codeCriterion(QLatin1String(code)));
                if (!rs.noMatch())
                    rs.deleteCurrent();
            }
        },
        silently, LostWrites::ToCaller);
}

} // namespace maj
