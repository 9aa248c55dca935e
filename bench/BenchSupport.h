#pragma once

// What the benchmarks share: the application's schema files and the timing of their runs.

#include "SqliteFile.h"
#include "platform/Ui.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
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

// The seconds a call takes.
template <class Work> double timed(Work&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return seconds(start);
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline double fastest(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
}

// How many times each side of a comparison runs: five unless MAJ_BENCH_RUNS says more.
inline int runs()
{
    return std::max(5, qEnvironmentVariableIntValue("MAJ_BENCH_RUNS"));
}

// The times of the two sides of a comparison, taken alternately, so that a slow moment of the
// machine weighs on both: the median ratio and the fastest-to-fastest ratio are what count.
struct Comparison
{
    std::vector<double> ours;
    std::vector<double> theirs;

    double medianRatio() const { return median(ours) / median(theirs); }
    double fastestRatio() const { return fastest(ours) / fastest(theirs); }
    void print(const char* what, double limit) const
    {
        std::printf("%s, %zu runs in turn: median %.3f s / %.3f s, ratio %.2f; fastest %.3f s / %.3f s, ratio %.2f "
                    "(limit %.2f)\n",
                    what, ours.size(), median(ours), median(theirs), medianRatio(), fastest(ours), fastest(theirs),
                    fastestRatio(), limit);
    }
};

// Runs each side `count` times, alternately, the side that starts changing every run; each side
// returns the seconds it measured (its set-up left out).
template <class Ours, class Theirs> Comparison compare(int count, Ours&& ours, Theirs&& theirs)
{
    Comparison c;
    for (int run = 0; run < count; ++run) {
        if (run % 2 == 0) {
            c.ours.push_back(ours(run));
            c.theirs.push_back(theirs(run));
        } else {
            c.theirs.push_back(theirs(run));
            c.ours.push_back(ours(run));
        }
    }
    return c;
}

} // namespace maj::bench
