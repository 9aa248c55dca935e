#include "platform/jet/Snapshot.h"

#include "platform/jet/JetConnection.h"
#include "platform/jet/Sqlite.h"

#include <QFile>

#include <sqlite3.h>

namespace maj {

void snapshotDatabase(const QString& sourceHostPath, const QString& targetHostPath)
{
    try {
        sqlite::Connection source(sourceHostPath, sqlite::Connection::Mode::ReadOnly);
        sqlite3_busy_timeout(source.handle(), 5000);
        sqlite::Connection target(targetHostPath, sqlite::Connection::Mode::ReadWriteCreate);
        sqlite3_backup* backup = sqlite3_backup_init(target.handle(), "main", source.handle(), "main");
        if (!backup)
            target.fail(sqlite3_errcode(target.handle()));
        // All pages in one step: the source is read under one lock, so the copy is one state of it.
        int rc = SQLITE_OK;
        for (int attempt = 0; attempt < 100; ++attempt) {
            rc = sqlite3_backup_step(backup, -1);
            if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
                break;
            sqlite3_sleep(50);
        }
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE)
            target.fail(rc);
    } catch (const sqlite::SqliteError& e) {
        QFile::remove(targetHostPath);
        jet::raise(e, jet::Context::Open);
    }
}

} // namespace maj
