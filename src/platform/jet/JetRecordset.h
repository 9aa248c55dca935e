#pragma once

#include "platform/jet/Database.h"
#include "platform/jet/JetConnection.h"

#include <memory>

namespace maj::jet {

// The recordset of a record source: a table's (updatable, in its natural order) or a select
// query's (read-only). A missing table is 3078, a malformed query 3075, an unknown column 3061.
// `previous`, the recordset it replaces, is used again when it can serve.
std::unique_ptr<Recordset> openRecordset(const std::shared_ptr<Connection>& connection, const QString& recordSource,
                                         std::unique_ptr<Recordset> previous = {});

} // namespace maj::jet
