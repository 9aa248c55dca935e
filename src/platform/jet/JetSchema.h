#pragma once

#include "platform/jet/Database.h"
#include "platform/jet/JetConnection.h"

#include <memory>

// Changes of table definitions: SQLite has no ALTER COLUMN and adds columns only at the end, so
// both rebuild the table inside one savepoint (create the new table, copy every row with its
// rowid, drop the old one, rename, recreate its indexes and triggers).
namespace maj::jet {

std::unique_ptr<DirectDatabase> openDirect(std::shared_ptr<Connection> connection);

} // namespace maj::jet
