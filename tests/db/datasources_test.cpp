#include "TestSupport.h"
#include "db/DbSteps.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "platform/jet/Sqlite.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <optional>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace maj;
using namespace maj::test;

namespace {

const QString kRunning = QStringLiteral("Praxidome semble être en fonctionnement. Veuillez fermer le programme sur "
                                        "tous les postes puis recommencer la mise à jour svp");

struct DataSourcesTest : ::testing::Test, StepFixture
{
    void SetUp() override { f.settings.SafetyFolder = QStringLiteral("c:\\MAJJAN2021\\"); }
};

TEST_F(DataSourcesTest, AssignationBindsTheThreeSourcesInOrder)
{
    createDatabase(drive.host("praxidome/pat.mdb"), "pat");
    createDatabase(drive.host("praxidome/eattest.mdb"), "eattest");
    exec(drive.host("praxidome/eattest.mdb"), "INSERT INTO nomen (ABREVIATION, \"code inami\") VALUES ('A', '1')");
    runStep(assignationdesbases);
    EXPECT_TRUE(ui.messages.isEmpty());
    ASSERT_TRUE(f.data.Data1.isOpen());
    ASSERT_TRUE(f.data.Data2.isOpen());
    ASSERT_TRUE(f.data.Data3.isOpen());
    EXPECT_EQ(f.data.Data1.recordSource(), "nomenclature");
    EXPECT_EQ(f.data.Data2.recordset().field(0).toString(), "A");
    EXPECT_EQ(f.data.Data3.recordSource(), "patients");
}

TEST_F(DataSourcesTest, AssignationWithoutTheReleaseTableStopsAtData2)
{
    createDatabase(drive.host("praxidome/pat.mdb"), "pat");
    runStep(assignationdesbases);
    EXPECT_EQ(ui.messages, QStringList{"Bases non assignées !"});
    EXPECT_FALSE(ui.ended);
    EXPECT_TRUE(f.data.Data1.isOpen());
    EXPECT_FALSE(f.data.Data2.isOpen());
    EXPECT_FALSE(f.data.Data3.isOpen());
    EXPECT_TRUE(f.data.Data3.databaseName().isEmpty());
}

TEST_F(DataSourcesTest, ReleasingTwiceRaisesNothing)
{
    createDatabase(drive.host("praxidome/pat.mdb"), "pat");
    f.data.Data1.bind("c:\\praxidome\\pat.mdb", "nomenclature");
    f.data.Data1.release();
    f.data.Data1.release();
    EXPECT_FALSE(f.data.Data1.isOpen());
}

// A second process that holds c:\praxidome\pat.mdb the way a running application or a reader does.
class OtherProcess
{
public:
    enum class Hold
    {
        WriteLock,
        SqliteWriteTransaction,
        SqliteReadTransaction
    };

    OtherProcess(const QString& hostPath, Hold hold)
    {
        const QByteArray path = QFile::encodeName(hostPath);
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            ADD_FAILURE() << "pipe";
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            const bool held = holdIn(path.constData(), hold);
            const char state = held ? 'y' : 'n';
            (void)!::write(ready[1], &state, 1);
            char c;
            (void)!::read(release[0], &c, 1); // returns when the parent closes its end
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        m_release = release[1];
        char state = 'n';
        (void)!::read(ready[0], &state, 1);
        ::close(ready[0]);
        m_held = state == 'y';
    }
    ~OtherProcess()
    {
        ::close(m_release);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;

    bool held() const { return m_held; }

private:
    // Runs in the child: only system and SQLite calls, no Qt.
    static bool holdIn(const char* path, Hold hold)
    {
        if (hold == Hold::WriteLock) {
            const int fd = ::open(path, O_RDWR);
            struct flock lock = {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            return fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0;
        }
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            return false;
        const char* sql = hold == Hold::SqliteWriteTransaction ? "BEGIN IMMEDIATE; INSERT INTO parapat (ID) VALUES (9);"
                                                               : "BEGIN; SELECT count(*) FROM parapat;";
        return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    pid_t m_pid = -1;
    int m_release = -1;
    bool m_held = false;
};

struct Holder
{
    const char* name;
    std::optional<OtherProcess::Hold> hold;
    bool running;
};

class VoitsiouvertTest : public DataSourcesTest, public ::testing::WithParamInterface<Holder>
{
};

TEST_P(VoitsiouvertTest, CopiesThePatientDatabaseUnlessAnotherProcessWrites)
{
    const QString pat = drive.host("praxidome/pat.mdb");
    createDatabase(pat, "pat");
    exec(pat, "INSERT INTO parapat (ID, VERSION_BASE) VALUES (1, 'v1')");
    QDir().mkpath(drive.host("MAJJAN2021"));
    drive.write("MAJJAN2021/pat.mdb", "an older copy");

    std::optional<OtherProcess> other;
    if (GetParam().hold) {
        other.emplace(pat, *GetParam().hold);
        ASSERT_TRUE(other->held());
    }
    runStep(voitsiouvert);
    other.reset();

    if (GetParam().running) {
        EXPECT_EQ(ui.messages, QStringList{kRunning});
        EXPECT_TRUE(ui.ended);
        EXPECT_EQ(drive.read("MAJJAN2021/pat.mdb"), "an older copy");
    } else {
        EXPECT_TRUE(ui.messages.isEmpty());
        EXPECT_FALSE(ui.ended);
        EXPECT_EQ(drive.read("MAJJAN2021/pat.mdb"), drive.read("praxidome/pat.mdb"));
    }
}

INSTANTIATE_TEST_SUITE_P(Holders, VoitsiouvertTest,
                         ::testing::Values(Holder{"nobody", std::nullopt, false},
                                           Holder{"WriteLock", OtherProcess::Hold::WriteLock, true},
                                           Holder{"SqliteWriter", OtherProcess::Hold::SqliteWriteTransaction, true},
                                           Holder{"SqliteReader", OtherProcess::Hold::SqliteReadTransaction, true}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(DataSourcesTest, VoitsiouvertWithoutSafetyFolderEndsTheProgram)
{
    createDatabase(drive.host("praxidome/pat.mdb"), "pat");
    runStep(voitsiouvert);
    EXPECT_EQ(ui.messages, QStringList{kRunning});
    EXPECT_TRUE(ui.ended);
}

TEST_F(DataSourcesTest, VoitsiouvertWithoutPatientDatabaseEndsTheProgram)
{
    QDir().mkpath(drive.host("MAJJAN2021"));
    QDir().mkpath(drive.host("praxidome"));
    runStep(voitsiouvert);
    EXPECT_EQ(ui.messages, QStringList{kRunning});
    EXPECT_TRUE(ui.ended);
}

struct Station
{
    const char* name;
    QVariant value;
    bool client;
};

class StationRoleTest : public DataSourcesTest, public ::testing::WithParamInterface<Station>
{
};

TEST_P(StationRoleTest, ReadFromTheSettingsRecord)
{
    const QString parametres = drive.host("praxidome/parametres.mdb");
    createDatabase(parametres, "parametres");
    {
        sqlite::Connection db(parametres, sqlite::Connection::Mode::ReadWrite);
        auto insert = db.prepare("INSERT INTO parapat (ID, STATION) VALUES (?, ?)");
        insert.bind(1, 1);
        insert.bind(2, GetParam().value);
        insert.step();
        // Only the first record counts.
        auto second = db.prepare("INSERT INTO parapat (ID, STATION) VALUES (2, 'CLIENT')");
        second.step();
    }
    bindAtLoad(f);
    ASSERT_TRUE(f.data.Data7.isOpen());
    EXPECT_EQ(readStationRole(f), GetParam().client);
}

INSTANTIATE_TEST_SUITE_P(Values, StationRoleTest,
                         ::testing::Values(Station{"Client", QStringLiteral("CLIENT"), true},
                                           Station{"LowerCaseWithBlanks", QStringLiteral(" client "), true},
                                           Station{"Null", QVariant(), false},
                                           Station{"Server", QStringLiteral("SERVEUR"), false},
                                           Station{"Empty", QStringLiteral(""), false},
                                           Station{"Longer", QStringLiteral("CLIENTS"), false}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(DataSourcesTest, SettingsDatabaseMissingFailsWhenTheRecordIsRead)
{
    QDir().mkpath(drive.host("praxidome"));
    bindAtLoad(f);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_FALSE(f.data.Data7.isOpen());
    try {
        readStationRole(f);
        ADD_FAILURE() << "no failure";
    } catch (const MajError& e) {
        EXPECT_EQ(e.number(), err::DatabaseNotFound);
    }
}

} // namespace
