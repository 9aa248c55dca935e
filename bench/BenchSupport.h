#pragma once

// What the benchmarks share: the application's schema files and the timing of their runs.

#include "platform/jet/Sqlite.h"

#include <QFile>
#include <QString>

#include <algorithm>
#include <chrono>
#include <vector>

namespace maj::bench {

// The text of schema/<name>.sql.
inline QString schemaText(const char* name)
{
    QFile file(QStringLiteral(MAJ_SOURCE_DIR "/schema/%1.sql").arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no schema %s", name);
    return QString::fromUtf8(file.readAll());
}

inline void createFromSchema(const QString& path, const char* name)
{
    sqlite::Connection db(path, sqlite::Connection::Mode::ReadWriteCreate);
    db.exec(schemaText(name));
}

inline double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace maj::bench
