// The activity census against the two GROUP BY queries it rests on.
//
// A pat.mdb whose soins table holds 1,000,000 treatments spread over 20 years (2007 to 2026) and
// 60 dentist numbers, 50 of them in dentiste; no index on soins. One run, one file:
//   cadastre (on 5 March 2026, a server)   against   the two GROUP BY queries run alone by SQLite:
//   select numdentiste from soins where strftime('%Y', date) = '2026' group by numdentiste (and 2025)
// Each side is timed five times, alternately; the medians and the fastest times are compared. The bench checks that
// the report counts what the queries return, then prints the ratio. A second ratio, against a
// year taken as the first four characters of the stored date, shows what the year() of the
// engine costs beyond plain text work.

#include "BenchSupport.h"
#include "platform/Ui.h"
#include "report/Census.h"
#include "report/Report.h"
#include "run/Form1Core.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

using namespace maj;
using namespace maj::bench;

namespace {

constexpr int Treatments = 1000000;
constexpr int FirstYear = 2007;
constexpr int Years = 20;
constexpr int Dentists = 60;
constexpr int ListedDentists = 50;

class Clock2026 : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 3, 5), QTime(14, 2, 31)); }
};

void fillPatients(const QString& path)
{
    sql::Database db(path, sql::ReadWrite);
    db.exec(QStringLiteral("BEGIN"));
    db.exec(QStringLiteral("INSERT INTO parapat (ID, NOM_CABINET, VERSION_BASE) VALUES (1, 'Cabinet', '8.6.8')"));
    sql::Statement dentist =
        db.prepare(QStringLiteral("INSERT INTO dentiste (numdentiste, NOM, INAMI, EMAIL) VALUES (?, ?, ?, ?)"));
    for (int d = 1; d <= ListedDentists; ++d) {
        dentist.bind(1, d);
        dentist.bind(2, QStringLiteral("Dr Dentiste %1").arg(d));
        dentist.bind(3, QStringLiteral("3-%1-00-001").arg(10000 + d));
        dentist.bind(4, QStringLiteral("dentiste%1@cabinet.be").arg(d));
        dentist.step();
        dentist.reset();
    }
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> year(0, Years - 1), day(0, 364), dentistNumber(1, Dentists),
        minute(0, 10 * 60 - 1);
    sql::Statement soin =
        db.prepare(QStringLiteral("INSERT INTO soins (NUMSOIN, NUMPAT, numdentiste, date) VALUES (?, ?, ?, ?)"));
    for (int i = 1; i <= Treatments; ++i) {
        const QDate date = QDate(FirstYear + year(random), 1, 1).addDays(day(random));
        const int m = minute(random);
        soin.bind(1, i);
        soin.bind(2, i % 5000);
        soin.bind(3, dentistNumber(random));
        soin.bind(4,
                  date.toString(QStringLiteral("yyyy-MM-dd")) + QString::asprintf(" %02d:%02d:00", 8 + m / 60, m % 60));
        soin.step();
        soin.reset();
    }
    db.exec(QStringLiteral("COMMIT"));
}

void fillSettings(const QString& path)
{
    sql::Database db(path, sql::ReadWrite);
    db.exec(QStringLiteral("INSERT INTO parapat (ID, NOM_CABINET, ADRESSE_CABINET, LOCALITE_CABINET, NOMBRE_POSTES, "
                           "STATION) VALUES (1, 'Cabinet Dupont', 'Rue 1', 'Liège', 3, 'SERVEUR')"));
}

// Runs the two year queries; returns their row counts (current year first).
std::pair<int, int> plainQueries(const QString& path, const QString& yearExpression)
{
    sql::Database db(path, sql::ReadOnly);
    int counts[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        sql::Statement query =
            db.prepare(QStringLiteral("SELECT numdentiste FROM soins WHERE %1 = '%2' GROUP BY numdentiste")
                           .arg(yearExpression)
                           .arg(2026 - i));
        while (query.step())
            ++counts[i];
    }
    return {counts[0], counts[1]};
}

} // namespace

int main()
{
    QTemporaryDir drive;
    qputenv("MAJ_DRIVE_C", drive.path().toUtf8());
    QDir().mkpath(drive.filePath(QStringLiteral("praxidome")));
    const QString pat = drive.filePath(QStringLiteral("praxidome/pat.mdb"));
    const QString settings = drive.filePath(QStringLiteral("praxidome/parametres.mdb"));
    createFromSchema(pat, "pat");
    createFromSchema(settings, "parametres");
    auto start = std::chrono::steady_clock::now();
    fillPatients(pat);
    fillSettings(settings);
    std::printf("built %d treatments in %.2f s\n", Treatments, seconds(start));

    QuietUi ui;
    Clock2026 clock;
    QString summary;
    std::pair<int, int> expected;
    const auto census = [&](int) {
        Form1Core f(ui, clock);
        f.settings.LanguageCode = QStringLiteral("NL");
        f.window.LBLSERVEURCLIENT = QStringLiteral("SERVEUR");
        f.data.Data7.bind(QStringLiteral("C:\\praxidome\\PARAMETRES.MDB"), QStringLiteral("parapat"));
        const double t = timed([&] { cadastre(f); });
        summary = f.window.txtconvention;
        return t;
    };
    const Comparison byStrftime = compare(runs(), census, [&](int) {
        return timed([&] { expected = plainQueries(pat, QStringLiteral("strftime('%Y', date)")); });
    });
    const Comparison bySubstr = compare(runs(), census, [&](int) {
        return timed([&] {
            if (plainQueries(pat, QStringLiteral("substr(date, 1, 4)")) != expected)
                qFatal("the two plain queries disagree");
        });
    });

    // The census must have counted what the queries return.
    const QString current = census::countSummary({2026, expected.first, {}});
    const QString previous = census::countSummary({2025, expected.second, {}});
    if (!summary.contains(current) || !summary.contains(previous))
        qFatal("the census does not hold the counts of the queries (%d, %d)", expected.first, expected.second);

    byStrftime.print("cadastre against GROUP BY, strftime('%Y', date)", 1.5);
    bySubstr.print("cadastre against GROUP BY, substr(date, 1, 4)", 1.5);
    return 0;
}
