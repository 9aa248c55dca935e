#include "platform/Format.h"

#include <QDateTime>
#include <QLocale>

#include <gtest/gtest.h>

using namespace maj;

namespace {

// Belgian French settings, also when the binary is run by hand: set before main() builds the
// application and Qt reads the system locale.
const bool belgianSettings = [] {
    qputenv("LC_ALL", "fr_BE.UTF-8");
    qputenv("LANG", "fr_BE.UTF-8");
    return true;
}();

TEST(FmtSettings, TheSystemLocaleIsBelgianFrench)
{
    ASSERT_TRUE(belgianSettings);
    EXPECT_EQ(QLocale::system().name(), "fr_BE");
}

TEST(FmtText, ValuesJoinedIntoText)
{
    const struct
    {
        const char* what;
        QVariant value;
        QString expected;
    } cases[] = {
        {"null", QVariant(), ""},
        {"text", "Cabinet Dupont", "Cabinet Dupont"},
        {"empty text", "", ""},
        {"decimal", 81.07, "81,07"},
        {"half", 0.5, "0,5"},
        {"negative decimal", -12.25, "-12,25"},
        {"float", 2.5f, "2,5"},
        {"whole double", 2026.0, "2026"},
        {"int", 2, "2"},
        {"negative int", qlonglong(-3), "-3"},
        {"no grouping", 1234567, "1234567"},
        {"large double", 123456789012.5, "123456789012,5"},
        {"unsigned", qulonglong(18446744073709551615ull), "18446744073709551615"},
        {"true", true, "Vrai"},
        {"false", false, "Faux"},
        {"date", QDate(2026, 3, 5), "5/03/2026"},
        {"date in December", QDate(2025, 12, 31), "31/12/2025"},
        {"time", QTime(14, 2, 31), "14:02:31"},
        {"morning time", QTime(8, 5, 0), "08:05:00"},
        {"midnight date-time", QDateTime(QDate(2026, 3, 5), QTime(0, 0)), "5/03/2026"},
        {"date-time", QDateTime(QDate(2026, 3, 5), QTime(14, 2, 31)), "5/03/2026 14:02:31"},
        {"time of day zero", QDateTime(QDate(1899, 12, 30), QTime(14, 2, 31)), "14:02:31"},
        {"invalid date-time", QDateTime(), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(fmt::text(c.value), c.expected);
    }
}

TEST(FmtPrinted, ValuesWrittenByThemselves)
{
    const struct
    {
        const char* what;
        QVariant value;
        QString expected;
    } cases[] = {
        {"count", 2, " 2 "},
        {"zero", qlonglong(0), " 0 "},
        {"negative", -3, "-3 "},
        {"decimal", 81.07, " 81,07 "},
        {"negative decimal", -0.5, "-0,5 "},
        {"null", QVariant(), "Null"},
        {"null pointer", QVariant::fromValue(nullptr), "Null"},
        {"empty text is no null", "", ""},
        {"text", "S20", "S20"},
        {"true", true, "Vrai"},
        {"date", QDate(2026, 3, 5), "5/03/2026"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(fmt::printed(c.value), c.expected);
    }
}

TEST(FmtNumber, ShortestDigitsWithTheDecimalComma)
{
    const struct
    {
        double value;
        QString expected;
    } cases[] = {
        {81.07, "81,07"},
        {0.1 + 0.2, "0,30000000000000004"},
        {-0.0, "0"},
        {1e14, "100000000000000"},
        {999999999999999.0, "999999999999999"},
        {1e15, "1E+15"},
        {1.5e20, "1,5E+20"},
        {0.0001, "0,0001"},
        {0.00001, "1E-05"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(fmt::number(c.value), c.expected);
    }
}

TEST(FmtFormats, FourDigitYearsAndSecondsWhateverTheLocale)
{
    const struct
    {
        const char* locale;
        const char* date;
        const char* time;
    } cases[] = {
        {"fr_BE", "d/MM/yyyy", "HH:mm:ss"},      {"fr_FR", "dd/MM/yyyy", "HH:mm:ss"},
        {"nl_BE", "d/MM/yyyy", "HH:mm:ss"},      {"de_DE", "dd.MM.yyyy", "HH:mm:ss"},
        {"en_US", "M/d/yyyy", "h:mm:ss AP"},     {"fi_FI", "d.M.yyyy", "H.mm.ss"},
        {"fr_CA", "yyyy-MM-dd", "HH 'h' mm:ss"}, {"ko_KR", "yyyy. M. d.", "AP h:mm:ss"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        const QLocale locale(QString::fromLatin1(c.locale));
        EXPECT_EQ(fmt::shortDateFormat(locale), QString::fromUtf8(c.date));
        EXPECT_EQ(fmt::timeFormat(locale), QString::fromUtf8(c.time));
    }
    EXPECT_EQ(fmt::shortDate(QDate()), QString());
    EXPECT_EQ(fmt::time(QTime()), QString());
}

} // namespace
