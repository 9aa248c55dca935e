#pragma once

// What the benchmarks share: the application's schema files and the timing of their runs.

#include "SqliteFile.h"
#include "platform/Ui.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <vector>

namespace maj::bench {

namespace sql = sample::sql;

// Message boxes that nobody sees; every question answered Non.
class QuietUi : public UiServices
{
public:
    QStringList messages;
    bool ended = false;
    void setBusyCursor(bool) override {}
    void processEvents() override {}
    void waitForEvents(int) override {}
    void programEnded() override { ended = true; }

protected:
    void showMessage(const QString& text, const QString&) override { messages.append(text); }
    bool showQuestion(const QString&, const QString&) override { return false; }
};

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
    sql::Database db(path, sql::Create);
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
