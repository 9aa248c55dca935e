#include "TestSupport.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace maj;
using maj::test::TempDrive;

namespace {

void create(const QString& hostPath, const QString& label)
{
    test::createDatabaseFromSql(hostPath, QStringLiteral("CREATE TABLE nomen (\"code inami\" TEXT(15), LIBELLE "
                                                         "TEXT(50)); INSERT INTO nomen VALUES ('1', '%1');")
                                              .arg(label));
}

QString libelle(const QString& hostPath)
{
    return test::scalar(hostPath, "SELECT group_concat(LIBELLE, ' ') FROM nomen").toString();
}

// A release file copied over the one a data source still holds is a new file: binding it again
// reads and writes the new one, and what was written to the old one before is not lost. The
// program copies a database after committing the pending writes (as a deployment does it); another
// program's copy is seen once they are committed.
TEST(DatabaseFilesTest, AFileCopiedOverAnOpenOneIsOpenedAnew)
{
    enum class Copy
    {
        ByTheProgram,
        ByAnotherProgram
    };
    for (const Copy copy : {Copy::ByTheProgram, Copy::ByAnotherProgram}) {
        SCOPED_TRACE(copy == Copy::ByTheProgram ? "by the program" : "by another program");
        TempDrive drive;
        Engine engine;
        const QString target = drive.host("praxidome/eattest.mdb");
        const QString release = drive.host("medium/eattest.mdb");
        create(target, "ancien");
        create(release, "nouveau");

        DataSource held(engine, "Data2");
        DataSource other(engine, "Data1");
        held.bind("c:\\praxidome\\eattest.mdb", "nomen");
        other.bind("c:\\praxidome\\eattest.mdb", "nomen");
        held.recordset().edit();
        held.recordset().setField(1, "ancien modifié");
        held.recordset().update();
        switch (copy) {
        case Copy::ByTheProgram:
            engine.commit();
            fs::copyFile("c:\\medium\\eattest.mdb", "c:\\praxidome\\eattest.mdb");
            break;
        case Copy::ByAnotherProgram: {
            engine.commit();
            const QString copied = target + ".tmp";
            ASSERT_TRUE(QFile::copy(release, copied));
            ASSERT_EQ(::rename(QFile::encodeName(copied).constData(), QFile::encodeName(target).constData()), 0);
            break;
        }
        }

        held.bind("c:\\praxidome\\eattest.mdb", "nomen");
        EXPECT_EQ(held.recordset().field(1).toString(), "nouveau");
        held.recordset().edit();
        held.recordset().setField(1, "nouveau modifié");
        held.recordset().update();
        engine.commit();
        EXPECT_EQ(libelle(target), "nouveau modifié");
        // The data source still on the replaced file goes on with it until it is bound again.
        EXPECT_EQ(other.recordset().field(1).toString(), "ancien modifié");
        other.release();
        held.release();
        EXPECT_EQ(libelle(target), "nouveau modifié");
    }
}

} // namespace
