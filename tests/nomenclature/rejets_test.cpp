#include "NomenTest.h"

using namespace maj;
using namespace maj::test;

namespace {
const QString etarification = QStringLiteral("c:\\praxidome\\etarification.mdb");
const QString failed =
    QStringLiteral("La mise à jour des dénominations des erreurs de rejets e-tar a échoué. (Peu important)");
const QString text172 = QStringLiteral("Code nomenclature non permis dans efac");
const QString text175 = QStringLiteral("Code nomenclature non permis dans la consultation tarif mais permis dans efac");

QList<QStringList> rejets()
{
    DataSource source(QStringLiteral("TestReader"));
    source.bind(etarification, QStringLiteral("REJETS"));
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
    t.create(etarification, QStringLiteral("etarification"));
    rejetsetar(t.f);
    EXPECT_TRUE(t.ui.messages.isEmpty());
    EXPECT_FALSE(t.f.data.Data13.isOpen());
    EXPECT_TRUE(t.f.data.Data13.databaseName().isEmpty());
    EXPECT_EQ(rejets(), QList<QStringList>({{QStringLiteral("172"), text172}, {QStringLiteral("175"), text175}}));
}

TEST(Rejetsetar, AKeyRefusing172StopsBeforeThe175)
{
    NomenFixture t;
    t.create(etarification, QStringLiteral("etarification"));
    {
        DataSource source(QStringLiteral("TestWriter"));
        source.bind(etarification, QStringLiteral("REJETS"));
        source.recordset().addNew();
        source.recordset().setField(0, QStringLiteral("172"));
        source.recordset().setField(1, QStringLiteral("ancien texte"));
        source.recordset().update();
        source.release();
    }
    rejetsetar(t.f);
    EXPECT_EQ(t.ui.messages, QStringList{failed});
    EXPECT_EQ(t.f.data.Data13.databaseName(), etarification); // released only on success
    t.f.data.Data13.release();
    EXPECT_EQ(rejets(), QList<QStringList>({{QStringLiteral("172"), QStringLiteral("ancien texte")}}));
}

TEST(Rejetsetar, AMissingDatabaseShowsTheMessage)
{
    NomenFixture t;
    rejetsetar(t.f);
    EXPECT_EQ(t.ui.messages, QStringList{failed});
}
