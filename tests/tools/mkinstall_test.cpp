#include "Sample.h"
#include "TestSupport.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace maj::sample;

namespace {

// What the demo lays out and runs the program on: every file of the installation and of the
// release medium, and the settings record of a server or a client workstation.
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
        o.client = client;
        layOut(o);
        const QString app = o.drive + "/praxidome/";
        // The release's files, installed and on the medium.
        for (const QString name :
             {"praxidome.exe", "aide/aide.htm", "eattest.mdb", "ASSURABILITY/MyCarenetProxy6.jar",
              "ASSURABILITY/MyCarenetProxy2.jar", "ASSURABILITY/P12/PRD/truststore.jks",
              "ASSURABILITY/P12/PRD/caCertificateKeystore.jks", "ASSURABILITY/P12/PRD/tsacertificate.jks",
              "FORMULAIRES/DPSI_P1.jpg", "FORMULAIRES/DPSI_P2.jpg"})
            EXPECT_TRUE(QFileInfo::exists(app + name) && QFileInfo::exists(o.medium + "/" + name.section('/', -1)))
                << name.toStdString();
        for (const char* name : {"st6unst.log", "pat.mdb", "parametres.mdb", "pannexe.mdb", "traj.mdb", "rappels.mdb",
                                 "etarification.mdb", "mails", "MAJ", "../../medium/Praxidome_ Assistance.lnk"})
            EXPECT_TRUE(QFileInfo::exists(app + name)) << name;
        EXPECT_EQ(maj::test::scalar(app + "parametres.mdb", "select count(*) || STATION from parapat").toString(),
                  client ? "1CLIENT" : "1SERVEUR");
    }
}

} // namespace
