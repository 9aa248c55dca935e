#pragma once

#include "platform/Logging.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"

namespace maj {

// A record started with addNew() (`adds`) or edit(): dropped when a failure comes before update(), so
// that nothing of a half-set record is written later.
class PendingRecord
{
public:
    PendingRecord(Recordset& recordset, bool adds) : m_recordset(recordset)
    {
        if (adds)
            m_recordset.addNew();
        else
            m_recordset.edit();
    }
    ~PendingRecord()
    {
        if (m_written)
            return;
        try {
            m_recordset.cancelUpdate();
        } catch (const MajError& e) {
            qCDebug(lcDb) << "cancelUpdate:" << e.what();
        }
    }
    PendingRecord(const PendingRecord&) = delete;
    PendingRecord& operator=(const PendingRecord&) = delete;

    void update()
    {
        m_recordset.update();
        m_written = true;
    }

private:
    Recordset& m_recordset;
    bool m_written = false;
};

} // namespace maj
