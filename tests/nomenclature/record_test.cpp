#include "NomenTest.h"
#include "nomenclature/NomenclatureRecord.h"

using namespace maj;
using namespace maj::nomen;

namespace {

Step stepNamed(const QString& name)
{
    if (name == QLatin1String("nouv"))
        return Step::Nouv;
    if (name == QLatin1String("anciens"))
        return Step::Anciens;
    if (name == QLatin1String("synchro update"))
        return Step::SynchroUpdate;
    return Step::SynchroInsert;
}

char letter(Treatment t)
{
    switch (t) {
    case Treatment::Copied:
        return 'C';
    case Treatment::Kept:
        return 'K';
    case Treatment::Stamped:
        return 'S';
    case Treatment::Default:
        return 'D';
    }
    return '?';
}

} // namespace

TEST(NomenclatureRecord, EachPositionAsTheColumnTableSays)
{
    for (const auto& row : maj::test::columnTable) {
        const Step step = stepNamed(QString::fromLatin1(row.step));
        QString actual;
        for (int p = 0; p < RecordPositions; ++p)
            actual.append(QLatin1Char(letter(treatment(step, QString::fromLatin1(row.languageCode), p))));
        EXPECT_EQ(actual, QString::fromLatin1(row.perPosition)) << row.step << " " << row.languageCode;
    }
}

TEST(NomenclatureRecord, LiteralsDoubleTheirQuotes)
{
    const struct
    {
        const char* text;
        const char* literal;
    } cases[] = {
        {"308335.", "'308335.'"}, {"", "''"}, {"d'Ex", "'d''Ex'"}, {"''", "''''''"}, {"a\"b", "'a\"b'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(jetQuoted(QString::fromUtf8(c.text)), QString::fromUtf8(c.literal));

    EXPECT_EQ(codeCriterion(QStringLiteral("308335.")), QStringLiteral("[code inami] = '308335.'"));
    EXPECT_EQ(codeCriterion(QStringLiteral("30'8")), QStringLiteral("[code inami] = '30''8'"));
    EXPECT_EQ(abbreviationQuery(QStringLiteral("DETA")),
              QStringLiteral("select * from nomenclature where ABREVIATION = 'DETA'"));
    EXPECT_EQ(abbreviationQuery(QStringLiteral("l'x")),
              QStringLiteral("select * from nomenclature where ABREVIATION = 'l''x'"));
    EXPECT_EQ(abbreviationQuery(Value()), QStringLiteral("select * from nomenclature where ABREVIATION IS NULL"));
    EXPECT_EQ(abbreviationQuery(QString()), QStringLiteral("select * from nomenclature where ABREVIATION = ''"));
}

TEST(NomenclatureRecord, PurgeListInItsOrder)
{
    QStringList criteria;
    for (const QString& code : purgedCodes())
        criteria.append(codeCriterion(code));
    EXPECT_EQ(criteria, QStringList({
                            QStringLiteral("[code inami] = '308335.'"),
                            QStringLiteral("[code inami] = '308335,'"),
                            QStringLiteral("[code inami] = '308335;'"),
                            QStringLiteral("[code inami] = '308335:'"),
                            QStringLiteral("[code inami] = '308335'"),
                            QStringLiteral("[code inami] = '307274.'"),
                            QStringLiteral("[code inami] = '305653,'"),
                            QStringLiteral("[code inami] = '305616,'"),
                        }));
}
