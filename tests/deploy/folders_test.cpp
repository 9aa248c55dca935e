#include "TestSupport.h"
#include "deploy/Deploy.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

const QString kExe = "c:\\praxidome\\praxidome.exe";
const QString kHelp = "c:\\praxidome\\aide\\aide.htm";
const QString kSettings = "c:\\praxidome\\parametres.mdb";
const QString kPat = "c:\\praxidome\\pat.mdb";

struct FoldersTest : ::testing::Test, StepFixture
{
    void SetUp() override { f.settings.SafetyFolder = "c:\\MAJJAN2021\\"; }
};

// The backup folder is named after the clock (5/12/2026 20:03:07): unpadded, the day before the month.
TEST_F(FoldersTest, PayloadFolderFollowsTheMediaKind)
{
    QTemporaryDir elsewhere;
    // The media kind, the current folder's host path, the payload folder.
    const std::tuple<QString, QString, QString> cases[] = {
        {"CD", drive.host(), "c:\\"},
        {"CD", drive.host("D/MAJ"), "c:\\D\\MAJ\\"},
        {"CD", elsewhere.path(), fs::windowsPath(elsewhere.path()) + "\\"},
        {"DISQUE", drive.host("D/MAJ"), "c:\\praxidome\\maj\\"},
        {"cd", drive.host("D/MAJ"), "c:\\praxidome\\maj\\"},
    };
    ASSERT_TRUE(fs::windowsPath(elsewhere.path()).startsWith("z:\\"));
    for (const auto& [mediaKind, current, payload] : cases) {
        SCOPED_TRACE(payload.toStdString());
        QDir(drive.host("MAJ20265122037")).removeRecursively();
        CurrentFolder here(current);
        f.settings.MediaKind = mediaKind;
        runStep(nouveaudirectory);
        EXPECT_EQ(f.settings.PayloadFolder, payload);
        EXPECT_EQ(f.settings.BackupFolder, "c:\\MAJ20265122037");
        EXPECT_TRUE(QFileInfo(drive.host("MAJ20265122037")).isDir());
    }
    EXPECT_TRUE(ui.messages.isEmpty());
}

// Writes still pending, through Data7 and through another data source, go into the copies; a
// read-only file's copy is writable.
TEST_F(FoldersTest, VerstempoSavesPendingWritesAndClearsTheReadOnlyMark)
{
    installPractice(drive);
    f.data.Data7.bind("C:\\praxidome\\PARAMETRES.MDB", "parapat");
    f.data.Data7.recordset().edit();
    f.data.Data7.recordset().setField(61, "38");
    f.data.Data7.recordset().update();
    f.data.Data1.bind(kPat, "patients");
    f.data.Data1.recordset().edit();
    f.data.Data1.recordset().setField("NOM", "Dupond");
    f.data.Data1.recordset().update();
    fs::setAttributes(kExe, fs::ReadOnly);
    f.settings.BackupFolder = "c:\\MAJ1";
    QDir().mkpath(drive.host("MAJ1"));

    runStep(verstempo);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(drive.read("MAJ1/praxidome.exe"), "MZ installed");
    EXPECT_EQ(fs::attributes("c:\\MAJ1\\praxidome.exe"), unsigned(fs::Archive));
    EXPECT_EQ(scalar(drive.host("MAJ1/parametres.mdb"), "SELECT NUMERO_MAJ FROM parapat"), "38");
    EXPECT_EQ(scalar(drive.host("MAJ1/pat.mdb"), "SELECT NOM FROM patients WHERE NOM = 'Dupond'"), "Dupond");
}

// Each of the four files missing: passagearchive tells it and clears the others' read-only mark,
// verstempo tells it and saves the others. A file that changes while it is copied is told as not
// saved too. Data7 is released either way.
TEST_F(FoldersTest, EachMissingFileIsToldAndTheOthersHandled)
{
    const QString files[] = {kHelp, kExe, kSettings, kPat};
    const char* copies[] = {"MAJ1/aide.htm", "MAJ1/praxidome.exe", "MAJ1/parametres.mdb", "MAJ1/pat.mdb"};
    f.settings.BackupFolder = "c:\\MAJ1";
    for (int failing = 0; failing < 5; ++failing) {
        const QString& file = files[failing % 4];
        SCOPED_TRACE(failing);
        ui.messages.clear();
        QDir(drive.host("MAJ1")).removeRecursively();
        QDir(drive.host("praxidome")).removeRecursively();
        QDir().mkpath(drive.host("MAJ1"));
        installPractice(drive);
        QStringList expected{file + " n'a pas été trouvé ou n'a pu être sauvegardé"};
        if (failing < 4) {
            for (const QString& other : files)
                fs::setAttributes(other, fs::ReadOnly);
            fs::setAttributes(file, fs::Normal);
            fs::deleteFile(file);
            runStep(passagearchive);
            expected.prepend(file + " était manquant");
            for (const QString& other : files)
                EXPECT_TRUE(other == file || fs::attributes(other) == fs::Archive) << other.toStdString();
        } else { // every read of it gives new content, of another size than the file's
            QFile::remove(drive.host("praxidome/aide/aide.htm"));
            ASSERT_TRUE(QFile::link("/proc/sys/kernel/random/uuid", drive.host("praxidome/aide/aide.htm")));
        }
        if (file != kSettings)
            f.data.Data7.bind("C:\\praxidome\\PARAMETRES.MDB", "parapat");
        runStep(verstempo);
        EXPECT_EQ(ui.messages, expected);
        EXPECT_FALSE(f.data.Data7.isOpen());
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(QFile::exists(drive.host(copies[i])), i != failing % 4) << copies[i];
    }
    EXPECT_FALSE(ui.ended);
}

TEST_F(FoldersTest, CopieexeavantpremiereMAJKeepsTheFirstExecutable)
{
    installPractice(drive);
    QDir().mkpath(drive.host("MAJJAN2021"));
    fs::setAttributes(kExe, fs::ReadOnly);
    runStep(copieexeavantpremiereMAJ);
    EXPECT_EQ(drive.read("MAJJAN2021/praxidome.exe"), "MZ installed");
    EXPECT_EQ(fs::attributes("c:\\MAJJAN2021\\praxidome.exe"), unsigned(fs::Archive));

    fs::setAttributes(kExe, fs::Normal);
    drive.write("praxidome/praxidome.exe", "MZ new executable");
    runStep(copieexeavantpremiereMAJ);
    EXPECT_EQ(drive.read("MAJJAN2021/praxidome.exe"), "MZ installed");
    EXPECT_TRUE(ui.messages.isEmpty());
}

} // namespace
