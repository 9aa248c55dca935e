#include "AppTestSupport.h"

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
    test::installPractice(drive);
    const QString work = drive.host("praxidome/MAJ");
    ASSERT_TRUE(QDir().mkpath(work));
    ASSERT_TRUE(QFile::copy(qEnvironmentVariable("MAJ_BINARY_DIR") + "/src/app/maj", work + "/maj"));
    for (const auto& [pictures, status] : {std::pair{"pictures", 0}, std::pair{"/proc/maj-pictures", 1}}) {
        for (const char* name : {"aide.htm", "eattest.mdb", "praxidome.exe", "Ancien_PC_20200101.pxd", "notes.txt"})
            drive.write(QStringLiteral("praxidome/MAJ/") + name);
        QProcess maj;
        maj.setWorkingDirectory(work);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("MAJ_SCREENSHOT_DIR", QDir(drive.host()).absoluteFilePath(pictures));
        maj.setProcessEnvironment(environment);
        maj.start(work + "/maj", {});
        ASSERT_TRUE(maj.waitForFinished(120000));
        EXPECT_EQ(maj.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(maj.exitCode(), status) << maj.readAllStandardError().toStdString();
        // The release, the program and the new report.
        QStringList left = QDir(work).entryList(QDir::Files);
        EXPECT_EQ(left.filter(".pxd").size(), 1);
        EXPECT_FALSE(left.contains("Ancien_PC_20200101.pxd"));
        left.removeIf([](const QString& name) { return name.endsWith(".pxd"); });
        EXPECT_EQ(left, QStringList({"aide.htm", "eattest.mdb", "maj", "praxidome.exe"}));
    }
}

} // namespace
