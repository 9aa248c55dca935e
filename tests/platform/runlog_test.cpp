#include "TestSupport.h"
#include "platform/RunLog.h"

#include <QDir>

#include <gtest/gtest.h>

#include <tuple>

using namespace maj;
using namespace maj::test;

namespace {

// The log stays below its limit: its oldest runs go when it is opened, and a run that writes too
// much stops at the limit. One that cannot be written is told once.
TEST(RunLog, KeptBelowItsLimitAndAFailureIsToldOnce)
{
    const QByteArray oldRun = "==== 2026-01-01T10:00:00 · maj\n" + QByteArray(9000, 'x') + "\n";
    // The log before, its limit, the lines this run writes (about 100 bytes each), the log's size at
    // most after, how it ends ("": the log is a folder, it cannot be written).
    const std::tuple<QByteArray, qint64, int, qint64, const char*> cases[] = {
        {oldRun.repeated(3), 40000, 5, 3 * oldRun.size() + 700, "run 4\n"},
        {oldRun.repeated(9), 40000, 5, 20000 + 700, "run 4\n"},
        {{}, 10000, 200, 10000, "n'est pas écrite)\n"},
        {{}, 10000, 5, 0, ""},
    };
    for (const auto& [before, limit, lines, atMost, endsWith] : cases) {
        SCOPED_TRACE(std::to_string(before.size()) + ' ' + endsWith);
        TempDrive drive;
        if (*endsWith)
            drive.write("praxidome/maj.log", before);
        else
            QDir().mkpath(drive.host("praxidome/maj.log"));
        QStringList told;
        RunLog log;
        log.onFailure = [&](const QString& text) { told.append(text); };
        log.open("c:\\praxidome\\maj.log", limit);
        log.beginRun("maj");
        for (int i = 0; i < lines; ++i)
            log.write(QString(80, '-') + QString(" run %1").arg(i));
        if (!*endsWith) {
            EXPECT_EQ(told, QStringList{"Le journal c:\\praxidome\\maj.log n'a pu être écrit : la mise à jour "
                                        "continue sans journal."});
            continue;
        }
        const QByteArray after = drive.read("praxidome/maj.log");
        EXPECT_TRUE(told.isEmpty());
        EXPECT_LE(after.size(), atMost);
        EXPECT_TRUE(after.startsWith("==== ")) << after.left(40).toStdString();
        EXPECT_TRUE(after.endsWith(endsWith)) << after.right(80).toStdString();
    }
}

} // namespace
