#pragma once

#include <QString>

namespace maj {

// Copies what is committed in a database file (a host path) into a new file, through SQLite's
// backup API: a consistent copy even while another program writes to it. The source is opened
// read-only and held for the one read of the copy; a writer that is committing is waited for a
// few seconds; a journal a crash left beside it is rolled back in the copy, not in the source.
// Throws MajError (3051 locked or unreadable, 3343 not a database).
void snapshotDatabase(const QString& sourceHostPath, const QString& targetHostPath);

} // namespace maj
