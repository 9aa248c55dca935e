#include "NomenTest.h"

using namespace maj;
using namespace maj::test;

namespace {
const QString etarification = "c:\\praxidome\\etarification.mdb";
const QString failed = "La mise à jour des dénominations des erreurs de rejets e-tar a échoué. (Peu important)";
const QString text172 = "Code nomenclature non permis dans efac";
const QString text175 = "Code nomenclature non permis dans la consultation tarif mais permis dans efac";

QList<QStringList> rejets()
{
    DataSource source("TestReader");
    source.bind(etarification, "REJETS");
    Recordset& rs = source.recordset();
    QList<QStringList> rows;
    for (; !rs.isEof(); rs.moveNext())
        rows.append({rs.field(0).toString(), rs.field(1).toString()});
    source.release();
    return rows;
}
} // namespace

TEST(Rejetsetar, AddsBothTextsAndReleasesTheDatabase)
{
    NomenFixture t;
    t.create(etarification, "etarification");
    rejetsetar(t.f);
    EXPECT_TRUE(t.ui.messages.isEmpty());
    EXPECT_FALSE(t.f.data.Data13.isOpen());
    EXPECT_TRUE(t.f.data.Data13.databaseName().isEmpty());
    EXPECT_EQ(rejets(), QList<QStringList>({{"172", text172}, {"175", text175}}));
}

TEST(Rejetsetar, AKeyRefusing172StopsBeforeThe175)
{
    NomenFixture t;
    t.create(etarification, "etarification");
    {
        DataSource source("TestWriter");
        source.bind(etarification, "REJETS");
        source.recordset().addNew();
        source.recordset().setField(0, "172");
        source.recordset().setField(1, "ancien texte");
        source.recordset().update();
        source.release();
    }
    rejetsetar(t.f);
    EXPECT_EQ(t.ui.messages, QStringList{failed});
    EXPECT_EQ(t.f.data.Data13.databaseName(), etarification); // released only on success
    t.f.data.Data13.release();
    EXPECT_EQ(rejets(), QList<QStringList>({{"172", "ancien texte"}}));
}

TEST(Rejetsetar, AMissingDatabaseShowsTheMessage)
{
    NomenFixture t;
    rejetsetar(t.f);
    EXPECT_EQ(t.ui.messages, QStringList{failed});
}
