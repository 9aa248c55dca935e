#include "JetRecordset.h"

namespace maj::jet {

std::unique_ptr<Recordset> openRecordset(const std::shared_ptr<Connection>&, const QString&)
{
    // Recordsets come in the next change.
    raise(err::TableNotFound);
}

} // namespace maj::jet
