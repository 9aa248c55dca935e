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
    void SetUp() override
    {
        f.settings.SafetyFolder = "c:\\MAJJAN2021\\";
        f.settings.MediaKind = "CD";
    }
};

TEST(BackupFolderName, IsUnpaddedWithTheDayBeforeTheMonth)
{
    const std::pair<QDateTime, const char*> moments[] = {
        {QDateTime(QDate(2026, 12, 5), QTime(20, 3, 7)), "c:\\MAJ20265122037"},
        {QDateTime(QDate(2021, 1, 1), QTime(0, 0, 0)), "c:\\MAJ202111000"},
        {QDateTime(QDate(2021, 10, 31), QTime(23, 59, 59)), "c:\\MAJ20213110235959"},
    };
    for (const auto& [at, name] : moments)
        EXPECT_EQ(backupFolderName(at), name);
    // Two moments, one name.
    EXPECT_EQ(backupFolderName(QDateTime(QDate(2026, 12, 1), QTime(1, 2, 3))),
              backupFolderName(QDateTime(QDate(2026, 2, 11), QTime(1, 2, 3))));
}

TEST_F(FoldersTest, PayloadFolderFollowsTheMediaKind)
{
    QTemporaryDir elsewhere;
    struct Case
    {
        QString mediaKind;
        QString current; // host path
        QString payload;
    };
    const Case cases[] = {
        {"CD", drive.host(), "c:\\"},
        {"CD", drive.host("D/MAJ"), "c:\\D\\MAJ\\"},
        {"CD", elsewhere.path(), fs::windowsPath(elsewhere.path()) + "\\"},
        {"DISQUE", drive.host("D/MAJ"), "c:\\praxidome\\maj\\"},
        {"cd", drive.host("D/MAJ"), "c:\\praxidome\\maj\\"},
    };
    ASSERT_TRUE(fs::windowsPath(elsewhere.path()).startsWith("z:\\"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload.toStdString());
        QDir(drive.host("MAJ20265122037")).removeRecursively();
        CurrentFolder here(c.current);
        f.settings.MediaKind = c.mediaKind;
        runStep(nouveaudirectory);
        EXPECT_EQ(f.settings.PayloadFolder, c.payload);
        EXPECT_EQ(f.settings.BackupFolder, "c:\\MAJ20265122037");
        EXPECT_TRUE(QFileInfo(drive.host("MAJ20265122037")).isDir());
    }
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(FoldersTest, PassagearchiveReportsEachMissingFileAndHandlesTheOthers)
{
    const QString files[] = {kExe, kSettings, kPat, kHelp};
    for (const QString& missing : files) {
        SCOPED_TRACE(missing.toStdString());
        QDir(drive.host("praxidome")).removeRecursively();
        installPractice(drive);
        for (const QString& file : files)
            fs::setAttributes(file, fs::ReadOnly);
        fs::setAttributes(missing, fs::Normal);
        fs::deleteFile(missing);
        ui.messages.clear();
        runStep(passagearchive);
        EXPECT_EQ(ui.messages, QStringList{missing + " était manquant"});
        for (const QString& file : files) {
            if (file != missing) {
                EXPECT_EQ(fs::attributes(file), unsigned(fs::Archive)) << file.toStdString();
            }
        }
    }
    EXPECT_FALSE(ui.ended);
}

TEST_F(FoldersTest, VerstempoSavesTheFourFilesAndReleasesData7)
{
    installPractice(drive);
    f.data.Data7.bind("C:\\praxidome\\PARAMETRES.MDB", "parapat");
    // A write still pending in the settings database goes into its copy.
    f.data.Data7.recordset().edit();
    f.data.Data7.recordset().setField(61, "38");
    f.data.Data7.recordset().update();
    // So does one made through another data source.
    f.data.Data1.bind(kPat, "patients");
    f.data.Data1.recordset().edit();
    f.data.Data1.recordset().setField("NOM", "Dupond");
    f.data.Data1.recordset().update();
    fs::setAttributes(kExe, fs::ReadOnly);
    f.settings.BackupFolder = "c:\\MAJ20265122037";
    QDir().mkpath(drive.host("MAJ20265122037"));

    runStep(verstempo);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_FALSE(f.data.Data7.isOpen());
    for (const char* name : {"praxidome.exe", "aide/aide.htm", "parametres.mdb", "pat.mdb"}) {
        const QString copy = QStringLiteral("MAJ20265122037/") + QFileInfo(name).fileName();
        EXPECT_EQ(drive.read(copy), drive.read(QStringLiteral("praxidome/") + name)) << name;
        EXPECT_EQ(fs::attributes(fs::windowsPath(drive.host(copy))), unsigned(fs::Archive)) << name;
    }
    EXPECT_EQ(scalar(drive.host("MAJ20265122037/parametres.mdb"), "SELECT NUMERO_MAJ FROM parapat").toString(), "38");
    EXPECT_EQ(scalar(drive.host("MAJ20265122037/pat.mdb"), "SELECT NOM FROM patients WHERE NOM = 'Dupond'"), "Dupond");
}

TEST_F(FoldersTest, VerstempoSavesEveryFileItCan)
{
    const QString files[] = {kExe, kHelp, kSettings, kPat};
    const QString copies[] = {"MAJ20265122037/praxidome.exe", "MAJ20265122037/aide.htm",
                              "MAJ20265122037/parametres.mdb", "MAJ20265122037/pat.mdb"};
    f.settings.BackupFolder = "c:\\MAJ20265122037";
    for (int missing = 0; missing < 4; ++missing) {
        SCOPED_TRACE(files[missing].toStdString());
        QDir(drive.host("MAJ20265122037")).removeRecursively();
        QDir(drive.host("praxidome")).removeRecursively();
        QDir().mkpath(drive.host("MAJ20265122037"));
        installPractice(drive);
        fs::deleteFile(files[missing]);
        if (files[missing] != kSettings)
            f.data.Data7.bind("C:\\praxidome\\PARAMETRES.MDB", "parapat");
        ui.messages.clear();

        runStep(verstempo);
        EXPECT_EQ(ui.messages, QStringList{files[missing] + " n'a pas été trouvé ou n'a pu être sauvegardé"});
        EXPECT_FALSE(f.data.Data7.isOpen());
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(QFile::exists(drive.host(copies[i])), i != missing) << copies[i].toStdString();
    }
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

TEST_F(FoldersTest, CreerrepertoireAndCreemajAreSilent)
{
    runStep(creerrepertoire);
    EXPECT_TRUE(QFileInfo(drive.host("MAJJAN2021")).isDir());
    runStep(creerrepertoire);
    runStep(creemaj); // no c:\praxidome yet
    EXPECT_FALSE(QFileInfo(drive.host("praxidome/MAJ")).exists());
    QDir().mkpath(drive.host("praxidome"));
    runStep(creemaj);
    EXPECT_TRUE(QFileInfo(drive.host("praxidome/MAJ")).isDir());
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_FALSE(ui.ended);
}

} // namespace
