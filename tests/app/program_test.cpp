#include "AppTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using namespace maj;

namespace {

// The program itself, started from the work folder c:\praxidome\MAJ, where a release that did not
// come on a CD is put: its opening work empties that folder but for the release's files and the
// program, and its exit status tells whether it ended well (here: whether the pictures of its
// windows could be written).
TEST(Program, StartedFromTheWorkFolderKeepsTheReleaseAndTellsHowItEnded)
{
    test::TempDrive drive;
    test::installPractice(drive, false);
    const QString work = drive.host("praxidome/MAJ");
    const QStringList release{"aide.htm", "eattest.mdb", "maj", "praxidome.exe"};
    ASSERT_TRUE(QDir().mkpath(work));
    ASSERT_TRUE(QFile::copy(qEnvironmentVariable("MAJ_BINARY_DIR") + "/src/app/maj", work + "/maj"));
    const struct
    {
        const char* pictures;
        int status;
    } cases[] = {{"pictures", 0}, {"/proc/maj-pictures", 1}};
    for (const auto& c : cases) {
        for (const char* name : {"aide.htm", "eattest.mdb", "praxidome.exe", "Ancien_PC_20200101.pxd", "notes.txt"})
            drive.write(QStringLiteral("praxidome/MAJ/") + name);
        QProcess maj;
        maj.setWorkingDirectory(work);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("MAJ_SCREENSHOT_DIR", QDir(drive.host()).absoluteFilePath(c.pictures));
        maj.setProcessEnvironment(environment);
        maj.start(work + "/maj", {});
        ASSERT_TRUE(maj.waitForFinished(120000));
        EXPECT_EQ(maj.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(maj.exitCode(), c.status) << maj.readAllStandardError().toStdString();
        // The release, the program and the new report.
        const QStringList left = QDir(work).entryList(QDir::Files);
        EXPECT_EQ(left.size(), release.size() + 1) << qPrintable(left.join(' '));
        for (const QString& name : release)
            EXPECT_TRUE(left.contains(name)) << qPrintable(name);
        EXPECT_TRUE(left.filter(".pxd").size() == 1 && !left.contains("Ancien_PC_20200101.pxd"));
    }
}

} // namespace
