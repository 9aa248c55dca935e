#include "NomenTest.h"

using namespace maj;
using namespace maj::test;

TEST(Detruitcodesinami, DeletesTheFirstRowOfEachListedCode)
{
    const struct
    {
        const char* name;
        QStringList before;
        QStringList after;
    } cases[] = {
        {"none listed",
         {QStringLiteral("308336."), QStringLiteral("3083351"), QStringLiteral("305653."), QStringLiteral("")},
         {QStringLiteral("308336."), QStringLiteral("3083351"), QStringLiteral("305653."), QStringLiteral("")}},
        {"all variants",
         {QStringLiteral("308335."), QStringLiteral("x1"), QStringLiteral("308335,"), QStringLiteral("308335;"),
          QStringLiteral("308335:"), QStringLiteral("308335"), QStringLiteral("307274."), QStringLiteral("305653,"),
          QStringLiteral("305616,"), QStringLiteral("305616."), QStringLiteral("x2")},
         {QStringLiteral("x1"), QStringLiteral("305616."), QStringLiteral("x2")}},
        {"a second 307274.",
         {QStringLiteral("307274."), QStringLiteral("307274."), QStringLiteral("307274")},
         {QStringLiteral("307274."), QStringLiteral("307274")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NomenFixture t;
        t.create(patPath(), QStringLiteral("pat"));
        QList<Row> rows;
        for (const QString& code : c.before)
            rows.append(codeRow(code, code));
        t.addRows(patPath(), QStringLiteral("nomenclature"), rows);
        t.f.data.Data1.bind(patPath(), QStringLiteral("nomenclature"));
        detruitcodesinami(t.f);
        t.f.data.Data1.release();
        EXPECT_TRUE(t.ui.messages.isEmpty());
        EXPECT_EQ(t.codes(patPath(), QStringLiteral("nomenclature")), c.after);
    }
}

TEST(Detruitcodesinami, AFailureIsSilent)
{
    NomenFixture t; // Data1 holds nothing
    detruitcodesinami(t.f);
    EXPECT_TRUE(t.ui.messages.isEmpty());
    EXPECT_FALSE(t.ui.ended);
}
