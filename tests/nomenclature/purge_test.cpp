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
        {"none listed", {"308336.", "3083351", "305653.", ""}, {"308336.", "3083351", "305653.", ""}},
        {"all variants",
         {"308335.", "x1", "308335,", "308335;", "308335:", "308335", "307274.", "305653,", "305616,", "305616.", "x2"},
         {"x1", "305616.", "x2"}},
        {"a second 307274.", {"307274.", "307274.", "307274"}, {"307274.", "307274"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NomenFixture t;
        t.create(patPath, "pat");
        QList<Row> rows;
        for (const QString& code : c.before)
            rows.append(codeRow(code, code));
        t.addRows(patPath, "nomenclature", rows);
        t.f.data.Data1.bind(patPath, "nomenclature");
        detruitcodesinami(t.f);
        t.f.data.Data1.release();
        EXPECT_TRUE(t.ui.messages.isEmpty());
        EXPECT_EQ(t.codes(patPath, "nomenclature"), c.after);
    }
}

TEST(Detruitcodesinami, AFailureIsSilent)
{
    NomenFixture t; // Data1 holds nothing
    detruitcodesinami(t.f);
    EXPECT_TRUE(t.ui.messages.isEmpty());
    EXPECT_FALSE(t.ui.ended);
}
