#pragma once

#include <QString>

namespace maj {

// What SQLite's quick_check finds in one database file.
struct DatabaseHealth
{
    enum class State
    {
        Sound,
        Absent,     // no such file: whoever opens it next says so
        Busy,       // another process holds it locked: it cannot be checked now
        Damaged,    // not a database, or its pages do not hold together
        Unreadable, // its bytes could not be read
    };
    State state = State::Sound;
    QString reason; // SQLite's reason, in French, when Damaged or Unreadable
};

// Reads the file (a host path) once from start to end, so that the check's scattered reads and a
// copy made next come from memory, then runs SQLite's quick_check on it on a connection of its own.
// Changes nothing but a journal a crash left beside it, which is rolled back as any open does. Never
// throws.
DatabaseHealth checkDatabaseFile(const QString& hostPath);

} // namespace maj
