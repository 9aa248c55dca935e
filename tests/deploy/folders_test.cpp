#include "TestSupport.h"
#include "db/DbSteps.h"
#include "deploy/Deploy.h"
#include "deploy/WorkFolder.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>

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

// The release's files are read from the current folder on a CD (its root with a single backslash),
// else from c:\praxidome\maj\; the media kind is compared in its letter case.
TEST_F(FoldersTest, PayloadFolderFollowsTheMediaKind)
{
    // The media kind, the current folder's host path, the payload folder.
    const std::tuple<QString, QString, QString> cases[] = {
        {"CD", drive.host(), "c:\\"},
        {"DISQUE", drive.host("D/MAJ"), "c:\\praxidome\\maj\\"},
        {"cd", drive.host("D/MAJ"), "c:\\praxidome\\maj\\"},
    };
    for (const auto& [mediaKind, current, payload] : cases) {
        SCOPED_TRACE(payload.toStdString());
        QDir(drive.host("MAJ20265122037")).removeRecursively();
        CurrentFolder here(current);
        f.settings.MediaKind = mediaKind;
        runStep(nouveaudirectory);
        EXPECT_EQ(f.settings.PayloadFolder, payload);
    }
}

// Writes still pending, through Data7 and through another data source, go into the copies; a
// read-only file's copy is writable. The first executable's copy is kept by later releases.
TEST_F(FoldersTest, VerstempoSavesPendingWritesAndClearsTheReadOnlyMarkTheFirstExecutableIsKept)
{
    installPractice(drive);
    QDir().mkpath(drive.host("MAJJAN2021"));
    fs::setAttributes(kExe, fs::ReadOnly);
    runStep(copieexeavantpremiereMAJ);
    EXPECT_EQ(fs::attributes("c:\\MAJJAN2021\\praxidome.exe"), unsigned(fs::Archive));

    f.data.Data7.bind("C:\\praxidome\\PARAMETRES.MDB", "parapat");
    change(f.data.Data7.recordset(), 61, "38");
    f.data.Data1.bind(kPat, "patients");
    change(f.data.Data1.recordset(), QStringLiteral("NOM"), "Dupond");
    f.settings.BackupFolder = "c:\\MAJ1";
    QDir().mkpath(drive.host("MAJ1"));

    runStep(verstempo);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(scalar(drive.host("MAJ1/parametres.mdb"), "SELECT NUMERO_MAJ FROM parapat"), "38");
    EXPECT_EQ(scalar(drive.host("MAJ1/pat.mdb"), "SELECT NOM FROM patients WHERE NOM = 'Dupond'"), "Dupond");

    fs::setAttributes(kExe, fs::Normal);
    drive.write("praxidome/praxidome.exe", "MZ new executable");
    runStep(copieexeavantpremiereMAJ);
    EXPECT_EQ(drive.read("MAJJAN2021/praxidome.exe"), "MZ installed");
    EXPECT_TRUE(ui.messages.isEmpty());
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

// Copies of a database that a crash left with a hot journal beside it: the safety copy and the
// backup hold the database as it was before the interrupted transaction, not a mix.
TEST_F(FoldersTest, AHotJournalIsRolledBackBeforeTheSafetyCopyAndTheBackup)
{
    const QString pat = drive.host("praxidome/pat.mdb");
    const auto patients = [](const QString& host) {
        return scalar(host, "SELECT count(*) || ':' || group_concat(NOM) FROM patients").toString();
    };
    createDatabase(pat, "pat");
    exec(pat, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400) "
              "INSERT INTO patients (NUMPAT, NOM) SELECT i, printf('patient %04d %.100c', i, 'x') FROM n");
    const QString before = patients(pat);
    // Changed pages already written into the database, their former content in the journal.
    ASSERT_TRUE(
        crashInTransaction(pat, "UPDATE patients SET NOM = upper(NOM); DELETE FROM patients WHERE NUMPAT > 200"));
    QDir().mkpath(drive.host("MAJJAN2021"));
    voitsiouvert(f);
    f.settings.BackupFolder = "c:\\MAJ1";
    QDir().mkpath(drive.host("MAJ1"));
    verstempo(f);
    for (const char* copy : {"MAJJAN2021/pat.mdb", "MAJ1/pat.mdb"}) {
        SCOPED_TRACE(copy);
        EXPECT_EQ(scalar(drive.host(copy), "PRAGMA integrity_check").toString(), "ok");
        EXPECT_EQ(patients(drive.host(copy)), before);
    }
}

// Emptying the work folder keeps the release's files when the release was put there (a media
// kind other than "CD", or started from that folder), and the program being run, always.
TEST_F(FoldersTest, EmptyingTheWorkFolderKeepsTheReleasePutThereAndTheRunningProgram)
{
    const QStringList listed{"aide.htm",  "DPSI_P1.jpg",   "EATTEST.MDB", "maj.exe",
                             "notes.txt", "praxidome.exe", "r.pxd"};
    for (const QString& name : listed)
        drive.write("praxidome/MAJ/" + name);
    const QStringList others{"notes.txt", "r.pxd"};
    // The media kind, the folder started from, the running program's path on the drive ("": none), what goes.
    const std::tuple<const char*, const char*, const char*, QStringList> cases[] = {
        {"CD", "CD", "", listed},
        {"CD", "praxidome/MAJ", "", QStringList{"maj.exe"} + others},
        {"", "CD", "", QStringList{"maj.exe"} + others},
        {"CD", "CD", "praxidome/MAJ/maj.exe", listed.mid(0, 3) + listed.mid(4)}, // all but maj.exe
        {"CD", "praxidome/MAJ", "praxidome/MAJ/maj.exe", others},
    };
    for (const auto& [mediaKind, startedFrom, programPath, deleted] : cases) {
        CurrentFolder started(drive.host(startedFrom));
        const QString program = *programPath ? drive.host(programPath) : QString();
        EXPECT_EQ(deploy::workFilesToDelete(listed, mediaKind, program), deleted)
            << mediaKind << " " << startedFrom << " " << programPath;
    }
}

} // namespace
