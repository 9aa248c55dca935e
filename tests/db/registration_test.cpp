#include "TestSupport.h"
#include "db/DbSteps.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

struct Registration : StepFixture
{
    Registration()
    {
        installPractice(drive); // st6unst.log last changed on 14/09/2015 at 23:59, update 37
        exec(drive.host("praxidome/parametres.mdb"), "INSERT INTO parapat (ID) VALUES (2)");
        f.window.lbldate = "01/01/2021";
        f.window.lblnumerodemaj = "38";
    }

    // Every marker record: numpat, installation day, update day, release date and number.
    QString markers() const
    {
        return scalar(drive.host("praxidome/pannexe.mdb"),
                      "SELECT group_concat(numpat || ' ' || ifnull(DATEDEBUT, '-') || ' ' || DATEDERNIEREMAJ || ' ' "
                      "|| DATEVERSION || ' ' || NUMEROMAJ, ' | ') FROM ortho")
            .toString();
    }
    // The update number of each settings record.
    QString numbers() const
    {
        return scalar(drive.host("praxidome/parametres.mdb"),
                      "SELECT group_concat(ifnull(NUMERO_MAJ, '-')) FROM parapat")
            .toString();
    }
};

TEST(Registration, FirstUpdateCreatesTheMarkerWithTheInstallationDayALaterOneKeepsIt)
{
    Registration t;
    t.runStep(inscritdate);
    EXPECT_TRUE(t.ui.messages.isEmpty());
    EXPECT_EQ(t.markers(), "Insta 2015-09-14 00:00:00 2026-12-05 00:00:00 01/01/2021 38");
    EXPECT_EQ(t.numbers(), "38,-");
    // Data4 stays on the settings table.
    EXPECT_EQ(t.f.data.Data4.databaseName(), "c:\\praxidome\\parametres.mdb");
    EXPECT_EQ(t.f.data.Data4.recordSource(), "parapat");

    // A later release, another day, and a log that changed since: one marker, its first day kept.
    t.clock.moment = QDateTime(QDate(2027, 6, 1), QTime(9, 0));
    t.f.window.lbldate = "01/06/2027";
    t.f.window.lblnumerodemaj = "39";
    t.drive.write("praxidome/st6unst.log", "changed");
    t.runStep(inscritdate);
    EXPECT_EQ(t.markers(), "Insta 2015-09-14 00:00:00 2027-06-01 00:00:00 01/06/2027 39");
    EXPECT_EQ(t.numbers(), "39,-");
}

// Without the log the installation day stays empty. A missing annex database leaves the settings
// alone; a settings table too short for position 61 keeps the marker written; a marker table
// without position 79 drops the record started, whole: each failure shows the message.
TEST(Registration, MissingOrShortFilesKeepWhatWasWrittenBefore)
{
    // The file, the table it is made of instead (none: no file), the markers after (none: not read), the
    // update numbers after, whether the step fails.
    const std::tuple<const char*, const char*, const char*, const char*, bool> cases[] = {
        {"praxidome/st6unst.log", nullptr, "Insta - 2026-12-05 00:00:00 01/01/2021 38", "38,-", false},
        {"praxidome/pannexe.mdb", nullptr, nullptr, "37,-", true},
        {"praxidome/parametres.mdb", "parapat (ID INTEGER, NUMERO_MAJ TEXT(10))",
         "Insta 2015-09-14 00:00:00 2026-12-05 00:00:00 01/01/2021 38", "37,-", true},
        {"praxidome/pannexe.mdb",
         "ortho (numpat TEXT(20), DATEDEBUT DATETIME, DATEDERNIEREMAJ DATETIME, DATEVERSION TEXT(20), NUMEROMAJ "
         "TEXT(10))",
         "", "37,-", true},
    };
    for (const auto& [file, table, markers, numbers, fails] : cases) {
        SCOPED_TRACE(file);
        Registration t;
        QFile::remove(t.drive.host(file));
        if (table) {
            createDatabaseFromSql(t.drive.host(file), QStringLiteral("CREATE TABLE %1;").arg(table));
            if (QString(table).startsWith("parapat"))
                exec(t.drive.host(file), "INSERT INTO parapat VALUES (1, '37'), (2, NULL)");
        }
        t.runStep(inscritdate);
        EXPECT_EQ(t.ui.messages.join('|'),
                  fails ? "L'inscription de la date de mise à jour a échoué (non essentiel)" : "");
        EXPECT_FALSE(t.ui.ended);
        if (markers) {
            EXPECT_EQ(t.markers(), markers);
        }
        EXPECT_EQ(t.numbers(), numbers);
    }
}

} // namespace
