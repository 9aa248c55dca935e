#include "Nomenclature.h"

#include "Logging.h"
#include "MajError.h"
#include "NomenclatureRecord.h"

namespace maj {

using namespace nomen;

void detruitcodesinami(Form1Core& f)
{
    StepScope scope("detruitcodesinami");
    try {
        Recordset& rs = f.data.Data1.recordset();
        for (const QString& code : purgedCodes()) {
            rs.findFirst(codeCriterion(code));
            if (!rs.noMatch())
                rs.deleteCurrent();
        }
    } catch (const MajError& e) {
        // The purge is silent: the codes left are harmless.
        qCDebug(lcDb) << "detruitcodesinami:" << e.what();
    }
}

} // namespace maj
