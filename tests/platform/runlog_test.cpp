#include "TestSupport.h"
#include "platform/RunLog.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

// The log stays below its limit: its oldest runs go when it is opened, and a run that writes too
// much stops at the limit. One that cannot be written is told once.
TEST(RunLog, KeptBelowItsLimitAndAFailureIsToldOnce)
{
    const QByteArray oldRun = "==== 2026-01-01T10:00:00 · maj\n" + QByteArray(9000, 'x') + "\n";
    const struct
    {
        QByteArray before;
        qint64 limit;
        int lines; // written by this run, about 100 bytes each
        qint64 atMost;
        const char* endsWith; // "": the log is a folder, it cannot be written
    } cases[] = {
        {oldRun.repeated(3), 40000, 5, 3 * oldRun.size() + 700, "run 4\n"},
        {oldRun.repeated(9), 40000, 5, 20000 + 700, "run 4\n"},
        {{}, 10000, 200, 10000, "n'est pas écrite)\n"},
        {{}, 10000, 5, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        TempDrive drive;
        if (*c.endsWith)
            drive.write("praxidome/maj.log", c.before);
        else
            QDir().mkpath(drive.host("praxidome/maj.log"));
        QStringList told;
        RunLog log;
        log.onFailure = [&](const QString& text) { told.append(text); };
        log.open("c:\\praxidome\\maj.log", c.limit);
        log.beginRun("maj");
        for (int i = 0; i < c.lines; ++i)
            log.write(QString(80, '-') + QString(" run %1").arg(i));
        if (!*c.endsWith) {
            EXPECT_EQ(told, QStringList{"Le journal c:\\praxidome\\maj.log n'a pu être écrit : la mise à jour "
                                        "continue sans journal."});
            continue;
        }
        const QByteArray after = drive.read("praxidome/maj.log");
        EXPECT_TRUE(told.isEmpty());
        EXPECT_LE(after.size(), c.atMost);
        EXPECT_TRUE(after.startsWith("==== ")) << after.left(40).toStdString();
        EXPECT_TRUE(after.endsWith(c.endsWith)) << after.right(80).toStdString();
    }
}

} // namespace
