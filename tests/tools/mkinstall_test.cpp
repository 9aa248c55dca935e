#include "Sample.h"
#include "TestSupport.h"
#include "platform/jet/Sqlite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace maj::sample;
using maj::test::scalar;

namespace {

// What the demo lays out and runs the program on: every file of the installation and of the
// release medium, and the settings record of a client workstation.
TEST(MkInstall, LaysOutTheInstallationAndTheMediumTheDemoRunsOn)
{
    for (const bool client : {false, true}) {
        QTemporaryDir dir;
        Options o;
        o.drive = dir.filePath("drive_c");
        o.medium = dir.filePath("medium");
        o.codes = 120;
        o.patients = 40;
        o.treatments = 600;
        o.years = 3;
        o.today = QDate(2026, 6, 15);
        o.client = client;
        layOut(o);
        const QDir app(o.drive + "/praxidome");
        for (const char* name :
             {"praxidome.exe", "aide/aide.htm", "st6unst.log", "pat.mdb", "parametres.mdb", "eattest.mdb",
              "pannexe.mdb", "traj.mdb", "rappels.mdb", "etarification.mdb", "ASSURABILITY/MyCarenetProxy6.jar",
              "ASSURABILITY/MyCarenetProxy2.jar", "ASSURABILITY/P12/PRD/truststore.jks",
              "ASSURABILITY/P12/PRD/caCertificateKeystore.jks", "ASSURABILITY/P12/PRD/tsacertificate.jks",
              "FORMULAIRES/DPSI_P1.jpg", "FORMULAIRES/DPSI_P2.jpg"})
            EXPECT_TRUE(QFileInfo(app.filePath(name)).isFile()) << name;
        for (const char* folder : {"mails", "MAJ"})
            EXPECT_TRUE(QFileInfo(app.filePath(folder)).isDir()) << folder;
        for (const char* name : {"eattest.mdb", "aide.htm", "MyCarenetProxy6.jar", "MyCarenetProxy2.jar",
                                 "truststore.jks", "caCertificateKeystore.jks", "tsacertificate.jks", "DPSI_P1.jpg",
                                 "DPSI_P2.jpg", "praxidome.exe", "Praxidome_ Assistance.lnk"})
            EXPECT_TRUE(QFileInfo(QDir(o.medium).filePath(name)).isFile()) << name;
        const QString settings = app.filePath("parametres.mdb");
        EXPECT_EQ(scalar(settings, "select count(*) || STATION from parapat").toString(),
                  client ? "1CLIENT" : "1SERVEUR");
    }
}

TEST(MkInstall, EmptiesANonEmptyFolderOnlyWhenForced)
{
    QTemporaryDir dir;
    Options o;
    o.drive = dir.filePath("drive_c");
    o.codes = 10;
    o.patients = 5;
    o.treatments = 10;
    const QString stray = dir.filePath("drive_c/stray.txt");
    QDir().mkpath(o.drive);
    QFile(stray).open(QIODevice::WriteOnly);
    EXPECT_THROW(layOut(o), SampleError);
    EXPECT_TRUE(QFileInfo::exists(stray));
    o.force = true;
    layOut(o);
    EXPECT_FALSE(QFileInfo::exists(stray));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("drive_c/praxidome/pat.mdb")));
}

} // namespace
