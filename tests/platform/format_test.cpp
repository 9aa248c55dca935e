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

// Each value as text and as written by itself (nullptr: not checked).
TEST(Fmt, ValuesAsTextAndPrintedAndTheFormatsBehind)
{
    ASSERT_EQ(QLocale::system().name(), "fr_BE") << belgianSettings;
    const std::tuple<QVariant, const char*, const char*> cases[] = {
        {QVariant(), "", "Null"},
        {QVariant::fromValue(nullptr), "", "Null"},
        {"", "", ""},
        {81.07, "81,07", " 81,07 "},
        {-12.25, "-12,25", "-12,25 "},
        {2.5f, "2,5", nullptr},
        {qlonglong(-3), "-3", "-3 "},
        {1234567, "1234567", " 1234567 "},
        // The shortest digits that read back as the number, with the decimal comma.
        {0.1 + 0.2, "0,30000000000000004", nullptr},
        {-0.0, "0", nullptr},
        {999999999999999.0, "999999999999999", nullptr},
        {1e15, "1E+15", nullptr},
        {1.5e20, "1,5E+20", nullptr},
        {0.0001, "0,0001", nullptr},
        {0.00001, "1E-05", nullptr},
        {qulonglong(18446744073709551615ull), "18446744073709551615", nullptr},
        {true, "Vrai", "Vrai"},
        {false, "Faux", nullptr},
        {QDate(2026, 3, 5), "5/03/2026", "5/03/2026"},
        {QTime(8, 5, 0), "08:05:00", nullptr},
        {QDateTime(QDate(2026, 3, 5), QTime(0, 0)), "5/03/2026", nullptr},
        {QDateTime(QDate(2026, 3, 5), QTime(14, 2, 31)), "5/03/2026 14:02:31", nullptr},
        {QDateTime(QDate(1899, 12, 30), QTime(14, 2, 31)), "14:02:31", nullptr},
        {QDateTime(), "", nullptr},
    };
    for (const auto& [value, text, printed] : cases) {
        SCOPED_TRACE(std::string(value.typeName() ? value.typeName() : "invalid") + " " + text);
        EXPECT_EQ(fmt::text(value), QString(text));
        EXPECT_EQ(printed ? fmt::printed(value) : QString(), QString(printed));
    }
    // The formats behind: four-digit years and seconds whatever the locale.
    const std::tuple<const char*, const char*, const char*> locales[] = {{"fr_BE", "d/MM/yyyy", "HH:mm:ss"},
                                                                         {"en_US", "M/d/yyyy", "h:mm:ss AP"},
                                                                         {"fi_FI", "d.M.yyyy", "H.mm.ss"},
                                                                         {"fr_CA", "yyyy-MM-dd", "HH 'h' mm:ss"}};
    for (const auto& [name, datePattern, timePattern] : locales) {
        SCOPED_TRACE(name);
        const QLocale locale(QString::fromLatin1(name));
        EXPECT_EQ(fmt::shortDateFormat(locale), QString::fromUtf8(datePattern));
        EXPECT_EQ(fmt::timeFormat(locale), QString::fromUtf8(timePattern));
    }
    EXPECT_EQ(fmt::shortDate(QDate()), QString());
    EXPECT_EQ(fmt::time(QTime()), QString());
    // Sizes, in French whatever the locale.
    EXPECT_EQ(fmt::size(0) + '|' + fmt::size(1023) + '|' + fmt::size((1024 + 1) * 1024 * 1024 - 1),
              QString::fromUtf8("0 octet|1\u202f023 octets|1\u202f025 Mo"));
}

} // namespace
