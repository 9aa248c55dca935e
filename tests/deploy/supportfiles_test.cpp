#include "TestSupport.h"
#include "deploy/Deploy.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <tuple>

using namespace maj;
using namespace maj::test;

namespace {

const QString kShortcut = "Praxidome_ Assistance.lnk";

// Each step and the files it deploys, relative to the drive, each from the payload file of its name.
const std::tuple<const char*, void (*)(Form1Core&), QStringList> kDeployments[] = {
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

// An installation with its support folders, and a release medium in c:\CD holding every file.
struct SupportFiles : StepFixture
{
    EnvironmentValue home{"HOME", drive.host("home")};
    EnvironmentValue config{"XDG_CONFIG_HOME", drive.host("home/.config")};

    SupportFiles()
    {
        QDir().mkpath(drive.host("praxidome/ASSURABILITY/P12/PRD"));
        QDir().mkpath(drive.host("praxidome/FORMULAIRES"));
        QDir().mkpath(drive.host("home/Desktop"));
        for (const auto& [name, step, targets] : kDeployments)
            for (const QString& target : targets)
                release(QFileInfo(target).fileName());
        release(kShortcut);
        f.settings.PayloadFolder = "c:\\CD\\";
    }
    void release(const QString& name) const { drive.write("CD/" + name, "release " + name.toUtf8()); }
};

TEST(SupportFiles, ReadOnlyPayloadFilesArriveWritable)
{
    for (const auto& [name, step, targets] : kDeployments) {
        SCOPED_TRACE(name);
        SupportFiles t;
        for (const QString& target : targets)
            fs::setAttributes("c:\\CD\\" + QFileInfo(target).fileName(), fs::ReadOnly | fs::Hidden);
        t.drive.write(targets.first(), "old"); // an earlier copy is replaced
        t.runStep(step);
        for (const QString& target : targets) {
            EXPECT_EQ(t.drive.read(target), "release " + QFileInfo(target).fileName().toUtf8());
            EXPECT_EQ(fs::attributes(fs::windowsPath(t.drive.host(target))), unsigned(fs::Archive))
                << target.toStdString();
        }
    }
}

// Each failure message of the folder and deployment steps, from one fault each: a file or folder of
// the drive removed, or a folder made. Nothing but the support files is installed here. The steps
// that make a folder make it, or leave the one there without a word.
struct Failure
{
    const char* name;
    void (*step)(Form1Core&);
    const char* fault; // relative to the drive: "-path" removed, "+path" made
    QString messages;  // joined by '|'
    ExitStatus status = ExitStatus::Completed;
    const char* kept = nullptr; // a file deployed before the failure or the folder made, on the drive
};

const Failure kFailures[] = {
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
    {"creermails", creermails, "", "", ExitStatus::Completed, "praxidome/mails"},
    {"creerformulaires", creerformulaires, "-praxidome/FORMULAIRES", "", ExitStatus::Completed,
     "praxidome/FORMULAIRES"},
};

TEST(SupportFiles, EachFailureShowsItsMessage)
{
    for (const Failure& c : kFailures) {
        SCOPED_TRACE(c.name);
        SupportFiles t;
        t.f.settings.SafetyFolder = "c:\\MAJJAN2021\\";
        QDir().mkpath(t.drive.host("MAJJAN2021"));
        const QString fault = t.drive.host(QString(c.fault).mid(1));
        if (*c.fault == '+')
            QDir().mkpath(fault);
        else if (*c.fault == '-' && !QFile::remove(fault))
            QDir(fault).removeRecursively();
        t.runStep(c.step);
        EXPECT_EQ(t.ui.messages.join('|'), c.messages);
        const QFileInfo kept(c.kept ? t.drive.host(c.kept) : QString());
        EXPECT_TRUE(!c.kept || kept.exists()) << c.kept;
        EXPECT_TRUE(!kept.isFile() || t.drive.read(c.kept) == "release " + kept.fileName().toUtf8()) << c.kept;
        EXPECT_EQ(t.ui.ended, c.status != ExitStatus::Completed);
        EXPECT_EQ(t.ui.exitStatus(), c.status);
        for (const QString& title : t.ui.titles)
            EXPECT_EQ(title, "Mise à jour");
    }
}

TEST(SupportFiles, CopieraccourciCopiesTheShortcutAndSetsThePayloadFolder)
{
    SupportFiles t;
    fs::setAttributes("c:\\CD\\" + kShortcut, fs::ReadOnly);
    CurrentFolder here(t.drive.host("CD"));
    t.f.settings.PayloadFolder = "c:\\praxidome\\maj\\";
    t.runStep(copieraccourci);
    EXPECT_EQ(t.f.settings.PayloadFolder, "c:\\CD\\");
    EXPECT_TRUE(fs::attributes("c:\\home\\Desktop\\praxidome_Assistance.lnk") & fs::ReadOnly);
    // A copy that fails keeps the new payload folder all the same.
    QDir(t.drive.host("home/Desktop")).removeRecursively();
    CurrentFolder there(t.drive.host("D/MAJ"));
    t.runStep(copieraccourci);
    EXPECT_EQ(t.ui.messages, QStringList{"Le raccourci n'a pas été copié sur le bureau"});
    EXPECT_EQ(t.f.settings.PayloadFolder, "c:\\D\\MAJ\\");
    // At a drive's root the backslash is doubled.
    QDir().mkpath(t.drive.host("home/Desktop"));
    t.drive.write(kShortcut, "root shortcut");
    CurrentFolder root(t.drive.host());
    t.runStep(copieraccourci);
    EXPECT_EQ(t.f.settings.PayloadFolder, "c:\\\\");
    EXPECT_EQ(t.drive.read("home/Desktop/praxidome_Assistance.lnk"), "root shortcut");
}

} // namespace
