#include "TestSupport.h"
#include "deploy/Deploy.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

const QString kShortcut = "Praxidome_ Assistance.lnk";

// An installation with its support folders, and a release medium in c:\CD holding every file.
struct SupportFilesTest : ::testing::Test, StepFixture
{
    EnvironmentValue home{"HOME", drive.host("home")};
    EnvironmentValue config{"XDG_CONFIG_HOME", drive.host("home/.config")};

    void SetUp() override
    {
        QDir().mkpath(drive.host("praxidome/ASSURABILITY/P12/PRD"));
        QDir().mkpath(drive.host("praxidome/FORMULAIRES"));
        QDir().mkpath(drive.host("home/Desktop"));
        for (const QString& name :
             QString("eattest.mdb|aide.htm|MyCarenetProxy6.jar|MyCarenetProxy2.jar|truststore.jks|"
                     "caCertificateKeystore.jks|tsacertificate.jks|DPSI_P1.jpg|DPSI_P2.jpg|"
                     "praxidome.exe|Praxidome_ Assistance.lnk")
                 .split('|'))
            drive.write("CD/" + name, "release " + name.toUtf8());
        f.settings.PayloadFolder = "c:\\CD\\";
    }
};

struct Deployment
{
    const char* name;
    void (*step)(Form1Core&);
    QStringList targets; // relative to the drive, each from the payload file of its name
};

const Deployment kDeployments[] = {
    {"copienouvelexe", copienouvelexe, {"praxidome/praxidome.exe"}},
    {"copienomen", copienomen, {"praxidome/eattest.mdb"}},
    {"copieaide", copieaide, {"praxidome/aide/aide.htm"}},
    {"copieautres", copieautres, {"praxidome/ASSURABILITY/MyCarenetProxy6.jar"}},
    {"assurability",
     assurability,
     {"praxidome/ASSURABILITY/MyCarenetProxy2.jar", "praxidome/ASSURABILITY/P12/PRD/truststore.jks",
      "praxidome/ASSURABILITY/P12/PRD/caCertificateKeystore.jks", "praxidome/ASSURABILITY/P12/PRD/tsacertificate.jks"}},
    {"copierformulaires",
     copierformulaires,
     {"praxidome/FORMULAIRES/DPSI_P1.jpg", "praxidome/FORMULAIRES/DPSI_P2.jpg"}},
};

class DeploymentTest : public SupportFilesTest, public ::testing::WithParamInterface<Deployment>
{
};

TEST_P(DeploymentTest, ReadOnlyPayloadFilesArriveWritable)
{
    for (const QString& target : GetParam().targets)
        fs::setAttributes("c:\\CD\\" + QFileInfo(target).fileName(), fs::ReadOnly | fs::Hidden);
    // An earlier copy is replaced.
    drive.write(GetParam().targets.first(), "old");
    runStep(GetParam().step);
    EXPECT_TRUE(ui.messages.isEmpty());
    for (const QString& target : GetParam().targets) {
        EXPECT_EQ(drive.read(target), "release " + QFileInfo(target).fileName().toUtf8());
        EXPECT_EQ(fs::attributes(fs::windowsPath(drive.host(target))), unsigned(fs::Archive)) << target.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, DeploymentTest, ::testing::ValuesIn(kDeployments),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

// Each failure message of the folder and deployment steps, from one fault each: a file or folder of
// the drive removed, or a folder made. Nothing but the support files is installed here.
struct Failure
{
    const char* name;
    void (*step)(Form1Core&);
    const char* fault; // relative to the drive: "-path" removed, "+path" made
    QString messages;  // joined by '|'
    ExitStatus status = ExitStatus::Completed;
    const char* kept = nullptr; // a file deployed before the failure, relative to the drive
};

const Failure kFailures[] = {
    {"nouveaudirectory", nouveaudirectory, "+MAJ20265122037",
     "Le nouveau directory ne peut être créé ! Mise à jour impossible !", ExitStatus::BackupFolder},
    {"copieexeavantpremiereMAJ", copieexeavantpremiereMAJ, "", "L'ancien exe n'a pu être sauvegardé !"},
    {"copienouvelexe", copienouvelexe, "-CD/praxidome.exe", "Le nouvel exe n'a pu être copié !"},
    {"copienomen", copienomen, "-CD/eattest.mdb", "eattest.mdb n'a pu être copié !"},
    {"copieaide", copieaide, "-CD/aide.htm", "Le nouveau fichier d'aide n'a pu être copié !"},
    {"copieautres", copieautres, "-praxidome/ASSURABILITY", "c:\\CD\\MyCarenetProxy6.jar n'a pu être copié !"},
    {"assurability", assurability, "-praxidome/ASSURABILITY/P12",
     standardDescription(err::PathNotFound) + " pendant copie c:\\CD\\truststore.jks|Vous n'avez pas exécuté "
                                              "toutes les dernières mises à jour. Celle-ci ne peut donc aller au bout",
     ExitStatus::EarlierUpdates, "praxidome/ASSURABILITY/MyCarenetProxy2.jar"},
    {"copierformulaires", copierformulaires, "-CD/DPSI_P2.jpg",
     "Un ou des formulaires n'ont pas pu être copiés ! (Voir antivirus)", ExitStatus::Completed,
     "praxidome/FORMULAIRES/DPSI_P1.jpg"},
    {"creermails", creermails, "+praxidome/mails", ""},
    {"creerformulaires", creerformulaires, "", ""},
};

class FailureTest : public SupportFilesTest, public ::testing::WithParamInterface<Failure>
{
};

TEST_P(FailureTest, ShowsItsMessage)
{
    CurrentFolder here(drive.host("CD"));
    f.settings.SafetyFolder = "c:\\MAJJAN2021\\";
    QDir().mkpath(drive.host("MAJJAN2021"));
    const QString fault = drive.host(QString(GetParam().fault).mid(1));
    if (*GetParam().fault == '+')
        QDir().mkpath(fault);
    else if (*GetParam().fault == '-' && !QFile::remove(fault))
        QDir(fault).removeRecursively();
    runStep(GetParam().step);
    EXPECT_EQ(ui.messages.join('|'), GetParam().messages);
    if (GetParam().kept) {
        EXPECT_EQ(drive.read(GetParam().kept), "release " + QFileInfo(GetParam().kept).fileName().toUtf8());
    }
    EXPECT_EQ(ui.ended, GetParam().status != ExitStatus::Completed);
    EXPECT_EQ(ui.exitStatus(), GetParam().status);
    for (const QString& title : ui.titles)
        EXPECT_EQ(title, "Mise à jour");
}

INSTANTIATE_TEST_SUITE_P(Steps, FailureTest, ::testing::ValuesIn(kFailures),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(SupportFilesTest, CreerformulairesThenCopierformulaires)
{
    QDir(drive.host("praxidome/FORMULAIRES")).removeRecursively();
    runStep(creermails);
    runStep(creerformulaires);
    runStep(copierformulaires);
    EXPECT_TRUE(QFileInfo(drive.host("praxidome/mails")).isDir());
    EXPECT_EQ(drive.read("praxidome/FORMULAIRES/DPSI_P2.jpg"), "release DPSI_P2.jpg");
}

TEST_F(SupportFilesTest, CopieraccourciCopiesTheShortcutAndSetsThePayloadFolder)
{
    fs::setAttributes("c:\\CD\\" + kShortcut, fs::ReadOnly);
    CurrentFolder here(drive.host("CD"));
    f.settings.PayloadFolder = "c:\\praxidome\\maj\\";
    runStep(copieraccourci);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(f.settings.PayloadFolder, "c:\\CD\\");
    EXPECT_EQ(drive.read("home/Desktop/praxidome_Assistance.lnk"), "release " + kShortcut.toUtf8());
    EXPECT_TRUE(fs::attributes("c:\\home\\Desktop\\praxidome_Assistance.lnk") & fs::ReadOnly);
    // A copy that fails keeps the new payload folder all the same.
    QDir(drive.host("home/Desktop")).removeRecursively();
    CurrentFolder there(drive.host("D/MAJ"));
    runStep(copieraccourci);
    EXPECT_EQ(ui.messages, QStringList{"Le raccourci n'a pas été copié sur le bureau"});
    EXPECT_EQ(f.settings.PayloadFolder, "c:\\D\\MAJ\\");
    // At a drive's root the backslash is doubled, and every later step takes its files from there.
    QDir().mkpath(drive.host("home/Desktop"));
    drive.write(kShortcut, "root shortcut");
    drive.write("eattest.mdb", "root codes");
    CurrentFolder root(drive.host());
    runStep(copieraccourci);
    runStep(copienomen);
    EXPECT_EQ(f.settings.PayloadFolder, "c:\\\\");
    EXPECT_EQ(drive.read("home/Desktop/praxidome_Assistance.lnk"), "root shortcut");
    EXPECT_EQ(drive.read("praxidome/eattest.mdb"), "root codes");
}

TEST_F(SupportFilesTest, RechercherfichierFindsTheFirstFileOfThatName)
{
    drive.write("praxidome/a/b/c/Cible.TXT", "deep");
    EXPECT_EQ(rechercherfichier("cible.txt", "c:\\praxidome"), "c:\\praxidome\\a\\b\\c\\Cible.TXT");
}

} // namespace
