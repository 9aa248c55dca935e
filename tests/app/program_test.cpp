#include "AppTestSupport.h"

#include <gtest/gtest.h>

using namespace maj;

namespace {

// The program itself, started from the work folder c:\praxidome\MAJ, where a release that did not
// come on a CD is put: its opening work empties that folder but for the release's files and the
// program, and its exit status tells whether it ended well (here: whether the pictures of its
// windows could be written). Qt's own options reach the window; without a display it says so in
// French and touches nothing.
TEST(Program, StartedFromTheWorkFolderKeepsTheReleaseAndTellsHowItEnded)
{
    test::TempDrive drive;
    test::installPractice(drive);
    const QString work = drive.host("praxidome/MAJ");
    ASSERT_TRUE(QDir().mkpath(work));
    ASSERT_TRUE(QFile::copy(qEnvironmentVariable("MAJ_BINARY_DIR") + "/src/app/maj", work + "/maj"));
    const QStringList release{"aide.htm", "eattest.mdb", "praxidome.exe", "Ancien_PC_20200101.pxd", "notes.txt"};
    // Where the pictures go, the arguments, whether QT_QPA_PLATFORM is as the tests have it, the status.
    const std::tuple<const char*, QStringList, bool, int> cases[] = {{"pictures", {}, true, 0},
                                                                     {"/proc/maj-pictures", {}, true, 1},
                                                                     {"pictures", {"-platform", "offscreen"}, false, 0},
                                                                     {"pictures", {}, false, 1}};
    for (const auto& [pictures, arguments, display, status] : cases) {
        SCOPED_TRACE(pictures + arguments.join(' ').toStdString());
        for (const QString& name : release)
            drive.write("praxidome/MAJ/" + name);
        QProcess maj;
        maj.setWorkingDirectory(work);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("MAJ_SCREENSHOT_DIR", QDir(drive.host()).absoluteFilePath(pictures));
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            if (!display)
                environment.remove(name);
        maj.setProcessEnvironment(environment);
        const QStringList before = QDir(work).entryList(QDir::Files);
        maj.start(work + "/maj", arguments);
        ASSERT_TRUE(maj.waitForFinished(120000));
        EXPECT_EQ(maj.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(maj.exitCode(), status) << maj.readAllStandardError().toStdString();
        QStringList left = QDir(work).entryList(QDir::Files);
        if (!display && arguments.isEmpty()) {
            EXPECT_TRUE(QString::fromUtf8(maj.readAllStandardError())
                            .endsWith("La fenêtre de la mise à jour ne peut s'ouvrir : aucun écran n'est disponible. "
                                      "Les options qui n'en demandent pas : maj --help\n"));
            EXPECT_EQ(left, before);
            EXPECT_FALSE(QFile::exists(drive.host("praxidome/maj.log")));
            continue;
        }
        // The release, the program and the new report.
        EXPECT_EQ(left.filter(".pxd").size(), 1);
        EXPECT_FALSE(left.contains("Ancien_PC_20200101.pxd"));
        left.removeIf([](const QString& name) { return name.endsWith(".pxd"); });
        EXPECT_EQ(left, QStringList({"aide.htm", "eattest.mdb", "maj", "praxidome.exe"}));
        QFile::remove(drive.host("praxidome/maj.log"));
    }
}

} // namespace
