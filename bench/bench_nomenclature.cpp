// The tariff code steps against the set-based SQL that gives the same rows.
//
// A release of 100,000 codes and a user's table of 100,000 codes (90% shared), on tables without
// any index on "code inami" or ABREVIATION. Each side five times in turn, on fresh copies of the files:
//   nouv + anciens     against  INSERT ... SELECT (an anti-join: rows with no match)  +  UPDATE ... FROM
//   btnbd_Click        against  SELECT ... GROUP BY ABREVIATION COLLATE NOCASE HAVING count(*) > 1
// The set-based side compares codes and abbreviations with = and COLLATE NOCASE (letter case
// ignored), as the engine does for this ASCII data. The bench checks that both sides leave the
// same rows and report the same duplicates, then prints the median and fastest-to-fastest ratios.

#include "BenchSupport.h"
#include "nomenclature/Nomenclature.h"
#include "nomenclature/NomenclatureRecord.h"
#include "platform/MajError.h"
#include "platform/Ui.h"
#include "platform/jet/Database.h"
#include "run/Form1Core.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <random>

using namespace maj;
using namespace maj::bench;

namespace {

constexpr int Codes = 100000;
constexpr int Shared = 90000;
constexpr int DuplicatePairs = 200; // user rows given the abbreviation of another, letter case changed

// Fills a nomenclature table: `codes` in the given order, `variant` making the release's values
// differ from the user's.
void fill(const QString& path, const QString& table, const std::vector<int>& codes, int variant,
          const QHash<int, QString>& abbreviationOverride)
{
    sql::Database db(path, sql::ReadWrite);
    db.exec(QStringLiteral("BEGIN"));
    sql::Statement insert =
        db.prepare(QStringLiteral("INSERT INTO %1 VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)").arg(table));
    for (int code : codes) {
        const QString c = QString::number(300000 + code);
        QVariantList v;
        v << abbreviationOverride.value(code, QStringLiteral("AB%1").arg(code)) << c
          << QStringLiteral("Libellé %1 v%2").arg(code).arg(variant) << 10.5 + code + variant << 7.25 + variant
          << 3.25 + variant << QStringLiteral("CAT%1").arg(code % 17 + variant)
          << QStringLiteral("perso %1 v%2").arg(code).arg(variant) << qlonglong(code % 255 + variant) << 11.5 + variant
          << 9.5 + variant << 2.0 + variant << qlonglong(variant) << qlonglong(99 - variant)
          << QStringLiteral("11-18 v%1").arg(variant) << QStringLiteral("N%1").arg(variant)
          << (variant == 0 ? QVariant() : QVariant(QStringLiteral("note"))) << qlonglong(code % 2)
          << qlonglong(code % 7) << QStringLiteral("2020-01-0%1 00:00:00").arg(variant + 1)
          << QStringLiteral("2030-12-3%1 00:00:00").arg(variant) << QVariant();
        for (int i = 0; i < v.size(); ++i)
            insert.bind(i + 1, v[i]);
        insert.step();
        insert.reset();
    }
    db.exec(QStringLiteral("COMMIT"));
}

void copyFile(const QString& from, const QString& to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to))
        qFatal("cannot copy %s", qPrintable(from));
}

// Every row of the table, every column, in the table's order, typed as SQLite stores it.
QList<QVariantList> allRows(const QString& path)
{
    sql::Database db(path, sql::ReadOnly);
    sql::Statement select = db.prepare(QStringLiteral("SELECT * FROM nomenclature ORDER BY rowid"));
    QList<QVariantList> rows;
    while (select.step()) {
        QVariantList row;
        for (int i = 0; i < select.columnCount(); ++i)
            row.append(select.column(i));
        rows.append(row);
    }
    return rows;
}

bool sameRows(const QString& a, const QString& b)
{
    const QList<QVariantList> left = allRows(a);
    const QList<QVariantList> right = allRows(b);
    if (left.size() != right.size()) {
        std::printf("  row counts differ: %lld / %lld\n", qlonglong(left.size()), qlonglong(right.size()));
        return false;
    }
    for (qsizetype r = 0; r < left.size(); ++r) {
        for (qsizetype c = 0; c < left[r].size(); ++c) {
            const QVariant& x = left[r][c];
            const QVariant& y = right[r][c];
            if (x.metaType() != y.metaType() || x != y) {
                std::printf("  row %lld column %lld differs: %s(%s) / %s(%s)\n", qlonglong(r), qlonglong(c),
                            x.typeName(), qPrintable(x.toString()), y.typeName(), qPrintable(y.toString()));
                return false;
            }
        }
    }
    return true;
}

// The anti-join form of WHERE NOT EXISTS (SELECT 1 FROM nomenclature AS u WHERE u."code inami" =
// n."code inami" COLLATE NOCASE): SQLite 3.40 plans that correlated subquery as a full scan of the
// user's table per release row (no automatic index in a correlated subquery), hours at this size;
// as a LEFT JOIN it builds an automatic index once.
const char* const insertNew = R"(
INSERT INTO nomenclature ("ABREVIATION", "code inami", LIBELLE, HONORAIRE, REMBOURSEMENT, TICKET_MODERATEUR,
    CATEGORIE, LIBELLE_PERSO, COULEUR, HONORAIRE_BIM, REMBOURSEMENT_BIM, TICKET_BIM, AGE_MIN, AGE_MAX, DENTS,
    LETTRE_CLE, DATE_MAJ, DATE_VALIDITE)
SELECT n."ABREVIATION", n."code inami", n.LIBELLE, n.HONORAIRE, n.REMBOURSEMENT, n.TICKET_MODERATEUR,
    n.CATEGORIE, n.LIBELLE_PERSO, n.COULEUR, n.HONORAIRE_BIM, n.REMBOURSEMENT_BIM, n.TICKET_BIM, n.AGE_MIN,
    n.AGE_MAX, n.DENTS, n.LETTRE_CLE, '2021-01-01 00:00:00', n.DATE_VALIDITE
FROM rel.nomen AS n LEFT JOIN nomenclature AS u ON u."code inami" = n."code inami" COLLATE NOCASE
WHERE u.rowid IS NULL
)";

const char* const updateExisting = R"(
UPDATE nomenclature AS u SET HONORAIRE = n.HONORAIRE, REMBOURSEMENT = n.REMBOURSEMENT,
    TICKET_MODERATEUR = n.TICKET_MODERATEUR, CATEGORIE = n.CATEGORIE, HONORAIRE_BIM = n.HONORAIRE_BIM,
    REMBOURSEMENT_BIM = n.REMBOURSEMENT_BIM, TICKET_BIM = n.TICKET_BIM, AGE_MIN = n.AGE_MIN, AGE_MAX = n.AGE_MAX,
    DENTS = n.DENTS, LETTRE_CLE = n.LETTRE_CLE, DATE_MAJ = '2021-01-01 00:00:00', DATE_VALIDITE = n.DATE_VALIDITE
FROM rel.nomen AS n
WHERE u."code inami" = n."code inami" COLLATE NOCASE
)";

const char* const sharedAbbreviations = R"(
SELECT ABREVIATION COLLATE NOCASE, count(*) FROM nomenclature GROUP BY ABREVIATION COLLATE NOCASE
HAVING count(*) > 1
)";

void printPlan(sql::Database& db, const char* sql)
{
    sql::Statement plan = db.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + QString::fromUtf8(sql));
    while (plan.step())
        std::printf("    plan: %s\n", qPrintable(plan.column(3).toString()));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::setlocale(LC_NUMERIC, "C");
    QTemporaryDir drive;
    qputenv("MAJ_DRIVE_C", drive.path().toUtf8());
    const QString installed = drive.filePath(QStringLiteral("praxidome"));
    const QString baseline = drive.filePath(QStringLiteral("baseline"));
    const QString generated = drive.filePath(QStringLiteral("generated"));
    for (const QString& dir : {installed, baseline, generated})
        QDir().mkpath(dir);

    // Release codes 0..99,999, user codes 10,000..109,999, each in its own shuffled order.
    std::mt19937 random(20210101);
    std::vector<int> release(Codes);
    std::vector<int> user(Codes);
    for (int i = 0; i < Codes; ++i) {
        release[i] = i;
        user[i] = Codes - Shared + i;
    }
    std::shuffle(release.begin(), release.end(), random);
    std::shuffle(user.begin(), user.end(), random);
    QHash<int, QString> userAbbreviations;
    for (int i = 0; i < DuplicatePairs; ++i)
        userAbbreviations.insert(user[i * 2], QStringLiteral("ab%1").arg(user[i * 2 + 1]));

    const QString genPat = generated + QStringLiteral("/pat.mdb");
    const QString genEattest = generated + QStringLiteral("/eattest.mdb");
    createFromSchema(genPat, "pat");
    createFromSchema(genEattest, "eattest");
    fill(genPat, QStringLiteral("nomenclature"), user, 1, userAbbreviations);
    fill(genEattest, QStringLiteral("nomen"), release, 0, {});
    std::printf("release %d codes, user table %d codes, %d shared, %d abbreviations shared by two rows\n", Codes, Codes,
                Shared, DuplicatePairs);

    // The steps, through the engine, bound as assignationdesbases binds them, against the same rows
    // set-based; each on fresh copies of the files.
    SystemClock clock;
    const auto fresh = [&](const QString& dir) {
        copyFile(genPat, dir + QStringLiteral("/pat.mdb"));
        copyFile(genEattest, dir + QStringLiteral("/eattest.mdb"));
    };
    const Comparison merge = compare(
        runs(),
        [&](int) {
            fresh(installed);
            QuietUi ui;
            Form1Core f(ui, clock);
            f.settings.LanguageCode = QStringLiteral("NL");
            f.settings.ReleaseDate = QStringLiteral("01/01/2021");
            const double t = timed([&] {
                f.data.Data1.bind(QStringLiteral("c:\\praxidome\\pat.mdb"), QStringLiteral("nomenclature"));
                f.data.Data2.bind(QStringLiteral("c:\\praxidome\\eattest.mdb"), QStringLiteral("nomen"));
                nouv(f);
                anciens(f);
                f.data.Data1.release();
                f.data.Data2.release();
            });
            if (!ui.messages.isEmpty())
                std::printf("  the steps showed: %s\n", qPrintable(ui.messages.join(QStringLiteral(" | "))));
            return t;
        },
        [&](int) {
            fresh(baseline);
            return timed([&] {
                sql::Database db(baseline + QStringLiteral("/pat.mdb"), sql::ReadWrite);
                db.exec(QStringLiteral("ATTACH DATABASE '%1/eattest.mdb' AS rel").arg(baseline));
                db.exec(QStringLiteral("BEGIN"));
                db.exec(QString::fromUtf8(insertNew));
                db.exec(QString::fromUtf8(updateExisting));
                db.exec(QStringLiteral("COMMIT"));
            });
        });
    {
        sql::Database db(baseline + QStringLiteral("/pat.mdb"), sql::ReadOnly);
        db.exec(QStringLiteral("ATTACH DATABASE '%1/eattest.mdb' AS rel").arg(baseline));
        printPlan(db, insertNew);
        printPlan(db, updateExisting);
    }
    const bool sameUpdate = sameRows(installed + QStringLiteral("/pat.mdb"), baseline + QStringLiteral("/pat.mdb"));
    merge.print("nouv + anciens against INSERT ... SELECT + UPDATE ... FROM", 1.2);

    // The duplicate check on the updated table, against the GROUP BY, each on a connection of its own.
    QStringList reported;
    QStringList expected;
    const Comparison check = compare(
        runs(),
        [&](int run) {
            QuietUi checkUi;
            Form1Core f(checkUi, clock);
            const double t = timed([&] {
                runHandler(checkUi, [&] { btnbd_Click(f); });
                f.data.Data1.release();
                f.data.Data2.release();
            });
            if (run == 0) {
                for (const QString& line : f.window.l.mid(1)) {
                    if (line != QLatin1String(" "))
                        reported.append(line.section(QLatin1Char(' '), 4, 4)); // the code after " de "
                }
                if (checkUi.ended)
                    reported.append(QStringLiteral("(the check ended the program)"));
            }
            return t;
        },
        [&](int run) {
            sql::Database db(baseline + QStringLiteral("/pat.mdb"), sql::ReadOnly);
            QSet<QString> shared;
            const double t = timed([&] {
                sql::Statement groups = db.prepare(QString::fromUtf8(sharedAbbreviations));
                while (groups.step())
                    shared.insert(groups.column(0).toString().toLower());
            });
            if (run == 0) {
                printPlan(db, sharedAbbreviations);
                sql::Statement rows =
                    db.prepare(QStringLiteral("SELECT ABREVIATION, \"code inami\" FROM nomenclature ORDER BY rowid"));
                while (rows.step()) {
                    if (shared.contains(rows.column(0).toString().toLower()))
                        expected.append(rows.column(1).toString());
                }
            }
            return t;
        });
    const bool sameReport = reported == expected;

    // Where the check's time goes: its engine operations, one kind at a time, on the same table.
    {
        // An engine of its own: the first probe builds the column's look-up again.
        Engine engine;
        DataSource table(engine, QStringLiteral("Walk"));
        DataSource probe(engine, QStringLiteral("Probe"));
        auto start = std::chrono::steady_clock::now();
        table.bind(QStringLiteral("c:\\praxidome\\pat.mdb"), QStringLiteral("nomenclature"));
        const double bind = seconds(start);
        probe.setDatabaseName(QStringLiteral("c:\\praxidome\\pat.mdb"));
        Recordset& rows = table.recordset();
        start = std::chrono::steady_clock::now();
        probe.setRecordSource(nomen::abbreviationQuery(rows.field(0)));
        probe.refresh();
        const double build = seconds(start);
        QStringList queries;
        start = std::chrono::steady_clock::now();
        for (rows.moveFirst(); !rows.isEof(); rows.moveNext())
            queries.append(rows.field(0).toString());
        const double walk = seconds(start);
        start = std::chrono::steady_clock::now();
        for (QString& q : queries)
            q = nomen::abbreviationQuery(q);
        const double text = seconds(start);
        double open = 0;
        double count = 0;
        for (const QString& q : queries) {
            auto t0 = std::chrono::steady_clock::now();
            probe.setRecordSource(q);
            probe.refresh();
            auto t1 = std::chrono::steady_clock::now();
            Recordset& sharing = probe.recordset();
            sharing.moveLast();
            sharing.moveFirst();
            (void)sharing.recordCount();
            open += std::chrono::duration<double>(t1 - t0).count();
            count += seconds(t1);
        }
        // The same, interleaved as in the check: reading the table's row after each probe.
        double walkInterleaved = 0;
        double openInterleaved = 0;
        for (rows.moveFirst(); !rows.isEof();) {
            auto t0 = std::chrono::steady_clock::now();
            const Value abbreviation = rows.field(0);
            auto t1 = std::chrono::steady_clock::now();
            probe.setRecordSource(nomen::abbreviationQuery(abbreviation));
            probe.refresh();
            auto t2 = std::chrono::steady_clock::now();
            rows.moveNext();
            walkInterleaved += std::chrono::duration<double>(t1 - t0).count() + seconds(t2);
            openInterleaved += std::chrono::duration<double>(t2 - t1).count();
        }
        std::printf("  the check's operations for %lld rows, one kind at a time: bind %.3f s, first probe (builds "
                    "the look-up) %.3f s, walk + field(0) %.3f s, query texts %.3f s, probe open (setRecordSource + "
                    "refresh) %.3f s, moveLast/moveFirst/recordCount "
                    "%.3f s; interleaved: walk + field(0) %.3f s, query text + probe open %.3f s\n",
                    qlonglong(queries.size()), bind, build, walk, text, open, count, walkInterleaved, openInterleaved);
    }
    check.print("btnbd_Click against GROUP BY", 1.5);
    std::printf("same rows after the merge: %s; same rows reported (%lld): %s\n", sameUpdate ? "yes" : "NO",
                qlonglong(reported.size()), sameReport ? "yes" : "NO");
    return sameUpdate && sameReport ? 0 : 1;
}
