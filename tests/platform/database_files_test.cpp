#include "TestSupport.h"
#include "platform/FileSystem.h"
#include "platform/jet/Database.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdio>

using namespace maj;

namespace {

// A release file copied over the one a data source still holds is a new file: binding it again
// reads and writes the new one, and what was written to the old one before is not lost. The
// program copies a database after committing the pending writes (as a deployment does it); another
// program's copy is seen once they are committed.
TEST(DatabaseFilesTest, AFileCopiedOverAnOpenOneIsOpenedAnew)
{
    for (const bool byTheProgram : {true, false}) {
        SCOPED_TRACE(byTheProgram ? "by the program" : "by another program");
        test::TempDrive drive;
        Engine engine;
        const QString target = drive.host("praxidome/eattest.mdb");
        const QString release = drive.host("medium/eattest.mdb");
        for (const auto& [file, label] : {std::pair{target, "ancien"}, std::pair{release, "nouveau"}}) {
            test::createDatabaseFromSql(
                file, QStringLiteral("CREATE TABLE nomen (\"code inami\" TEXT(15), LIBELLE TEXT(50)); INSERT INTO "
                                     "nomen VALUES ('1', '%1');")
                          .arg(label));
        }
        const auto libelle = [&] { return test::scalar(target, "SELECT group_concat(LIBELLE) FROM nomen"); };

        DataSource held(engine, "Data2");
        DataSource other(engine, "Data1");
        held.bind("c:\\praxidome\\eattest.mdb", "nomen");
        other.bind("c:\\praxidome\\eattest.mdb", "nomen");
        held.recordset().edit();
        held.recordset().setField(1, "ancien modifié");
        held.recordset().update();
        engine.commit();
        if (byTheProgram) {
            fs::copyFile("c:\\medium\\eattest.mdb", "c:\\praxidome\\eattest.mdb");
        } else {
            ASSERT_TRUE(QFile::copy(release, target + ".tmp"));
            ASSERT_EQ(std::rename(QFile::encodeName(target + ".tmp"), QFile::encodeName(target)), 0);
        }

        held.bind("c:\\praxidome\\eattest.mdb", "nomen");
        EXPECT_EQ(held.recordset().field(1).toString(), "nouveau");
        held.recordset().edit();
        held.recordset().setField(1, "nouveau modifié");
        held.recordset().update();
        engine.commit();
        EXPECT_EQ(libelle(), "nouveau modifié");
        // The data source still on the replaced file goes on with it until it is bound again.
        EXPECT_EQ(other.recordset().field(1).toString(), "ancien modifié");
        other.release();
        held.release();
        EXPECT_EQ(libelle(), "nouveau modifié");
    }
}

} // namespace
