#include "NomenTest.h"
#include "NomenclatureRecord.h"

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

// Records the order in which a step sets the positions of its pending row.
class WriteLog : public Recordset
{
public:
    QList<int> positions;
    QList<Value> values;
    Value sourceValue(int p) const { return QStringLiteral("v%1").arg(p); }

    bool isBof() const override { return false; }
    bool isEof() const override { return false; }
    void moveFirst() override {}
    void moveLast() override {}
    void moveNext() override {}
    void movePrevious() override {}
    int recordCount() const override { return 1; }
    void findFirst(const QString&) override {}
    bool noMatch() const override { return false; }
    bool isUpdatable() const override { return true; }
    void addNew() override {}
    void edit() override {}
    void update() override {}
    void cancelUpdate() override {}
    void deleteCurrent() override {}
    int fieldCount() const override { return 22; }
    QString fieldName(int) const override { return {}; }
    Value field(int position) const override { return sourceValue(position); }
    Value field(const QString&) const override { return {}; }
    void setField(int position, const Value& value) override
    {
        positions.append(position);
        values.append(value);
    }
    void setField(const QString&, const Value&) override {}
};

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

TEST(NomenclatureRecord, WritesCopiesInOrderThenStampThenColumn20)
{
    const struct
    {
        Step step;
        const char* language;
        QList<int> order;
    } cases[] = {
        {Step::Nouv, "NL", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 19, 20}},
        {Step::SynchroInsert, "NL", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 19, 20}},
        {Step::Anciens, "NL", {3, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 19, 20}},
        {Step::Anciens, "FR", {2, 3, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 19, 20}},
        {Step::SynchroUpdate, "NL", {0, 2, 6, 7, 8, 12, 14, 15, 19, 20}},
    };
    for (const auto& c : cases) {
        WriteLog source;
        WriteLog target;
        writeRow(target, source, c.step, QString::fromLatin1(c.language), QStringLiteral("01/01/2021"));
        EXPECT_EQ(target.positions, c.order) << c.language;
        for (int i = 0; i < target.positions.size(); ++i) {
            const int p = target.positions[i];
            EXPECT_EQ(target.values[i],
                      p == StampPosition ? Value(QStringLiteral("01/01/2021")) : source.sourceValue(p));
        }
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
