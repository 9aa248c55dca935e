#pragma once

#include "platform/Logging.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"

#include <QString>

// Small helpers the tariff steps share.
namespace maj::nomen {

// Moves to the first row of `rs` and returns how many rows it holds. Both moves fail (3021) on an
// empty recordset, as the move to the first row alone would.
inline qint64 countFromFirst(Recordset& rs)
{
    rs.moveLast();
    const qint64 total = rs.recordCount();
    rs.moveFirst();
    return total;
}

// Drops the add or edit that a failure left pending, so that nothing of it is written later.
inline void dropPending(DataSource& source) noexcept
{
    if (!source.isOpen())
        return;
    try {
        source.recordset().cancelUpdate();
    } catch (const MajError& e) {
        qCWarning(lcDb) << "cancelUpdate:" << e.what();
    }
}

} // namespace maj::nomen
