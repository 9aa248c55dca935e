#include "Nomenclature.h"

#include "Logging.h"
#include "MajError.h"

#include <array>

namespace maj {

void detruitcodesinami(Form1Core& f)
{
    StepScope scope("detruitcodesinami");
    static const std::array<const char16_t*, 8> criteria = {
        u"[code inami] = '308335.'", u"[code inami] = '308335,'", u"[code inami] = '308335;'",
        u"[code inami] = '308335:'", u"[code inami] = '308335'",  u"[code inami] = '307274.'",
        u"[code inami] = '305653,'", u"[code inami] = '305616,'",
    };
    try {
        Recordset& rs = f.data.Data1.recordset();
        for (const char16_t* criterion : criteria) {
            rs.findFirst(QString::fromUtf16(criterion));
            if (!rs.noMatch())
                rs.deleteCurrent();
        }
    } catch (const MajError& e) {
        qCDebug(lcDb) << "detruitcodesinami:" << e.what();
    }
}

} // namespace maj
