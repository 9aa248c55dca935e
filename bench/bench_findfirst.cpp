// Find-first-then-update cycles of the database engine against one set-based UPDATE ... FROM.
//
// A user's table `nomenclature` of 100,000 codes and a release table `nomen` holding the same
// codes in another order with new values, both without any index on "code inami" (as the
// application keeps them). Each run, on fresh identical copies of the files:
//   engine:  for each release row, findFirst("[code inami] = '...'"), edit, set 13 fields from
//            the release row and the release date, update; then the engine commits
//   SQL:     one UPDATE nomenclature SET (...) = (...) FROM nomen WHERE codes are equal
//   floor:   the engine's cycles through SQLite's C interface alone: the codes' rowids in a hash
//            map, each release row's values bound as SQLite gives them, one UPDATE per row. No
//            row-by-row engine on SQLite can beat it; it shows how much of the gap is SQLite's own.
// Then the duplicate check's pattern: one "select * from nomenclature where ABREVIATION = '...'"
// per row, each moved last and first and counted, against a GROUP BY. Each pair runs five times in
// turn on fresh copies; the bench checks that both sides leave the same rows and find the same
// duplicates, then prints the median and fastest-to-fastest ratios.
// MAJ_BENCH_ROWS changes the size (for profiling); the target is measured at 100,000.

#include "BenchSupport.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <unordered_map>

using namespace maj;
using namespace maj::bench;

namespace {

const int kRows = qEnvironmentVariableIntValue("MAJ_BENCH_ROWS") > 0 ? qEnvironmentVariableIntValue("MAJ_BENCH_ROWS")
                                                                     : 100000;
// The positions `anciens` copies from the release row (column 19 takes the release date).
constexpr int kCopied[] = {3, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 20};

// The release lists its codes in code order. The user's table holds them in the order they were
// added: in code order, but one code in ten came later and sits at the end. The worst case shuffles
// the release instead, so that every cycle writes a row far from the last one.
void generate(const QString& patPath, const QString& eattestPath, bool shuffled)
{
    std::mt19937 random(20210101);
    std::vector<int> userOrder;
    for (int i = 0; i < kRows; ++i) {
        if (shuffled || i % 10 != 9)
            userOrder.push_back(i);
    }
    for (int i = 9; !shuffled && i < kRows; i += 10)
        userOrder.push_back(i);
    std::vector<int> order(kRows);
    for (int i = 0; i < kRows; ++i)
        order[size_t(i)] = i;
    {
        sql::Database pat(patPath, sql::Create);
        pat.exec(schemaText("pat"));
        pat.exec(QStringLiteral("BEGIN"));
        auto insert = pat.prepare(QStringLiteral(
            "INSERT INTO nomenclature VALUES (?1, ?2, ?3, 10.5, 8.25, 2.25, 'CAT', 'perso', 3, 11.0, 9.0, 2.0, 0, 99, "
            "'11-48', 'N', 'note', 0, ?4, '2020-01-01 00:00:00', '2020-12-31 00:00:00', 'remarque')"));
        for (const int i : userOrder) {
            // One row in a thousand repeats the abbreviation of the row before, in lower case.
            insert.bind(1, i % 1000 == 999 ? QStringLiteral("ab%1").arg(i - 1) : QStringLiteral("AB%1").arg(i));
            insert.bind(2, QStringLiteral("%1.").arg(300000 + i));
            insert.bind(3, QStringLiteral("Libellé du code %1").arg(i));
            insert.bind(4, i);
            insert.step();
            insert.reset();
        }
        pat.exec(QStringLiteral("COMMIT"));
    }
    if (shuffled)
        std::shuffle(order.begin(), order.end(), random);
    sql::Database eattest(eattestPath, sql::Create);
    eattest.exec(schemaText("eattest"));
    eattest.exec(QStringLiteral("BEGIN"));
    auto insert = eattest.prepare(QStringLiteral("INSERT INTO nomen VALUES (?1, ?2, 'Libellé neuf', ?3, ?3 - 2, 2.0, "
                                                 "'NEUVE', 'ignoré', 7, ?3 + 1, ?3 - 1, 1.0, 1, "
                                                 "88, '11-28', 'R', NULL, 1, 0, NULL, '2021-12-31 00:00:00', NULL)"));
    for (const int i : order) {
        insert.bind(1, QStringLiteral("NV%1").arg(i));
        insert.bind(2, QStringLiteral("%1.").arg(300000 + i));
        insert.bind(3, 20.0 + i % 50);
        insert.step();
        insert.reset();
    }
    eattest.exec(QStringLiteral("COMMIT"));
}

QByteArray digest(const QString& patPath)
{
    sql::Database db(patPath, sql::ReadOnly);
    auto rows = db.prepare(QStringLiteral("SELECT * FROM nomenclature ORDER BY rowid"));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    while (rows.step()) {
        for (int i = 0; i < rows.columnCount(); ++i) {
            const QVariant v = rows.column(i);
            hash.addData(QByteArray::number(v.typeId()) + ':' + v.toString().toUtf8() + '\x1f');
        }
    }
    return hash.result().toHex();
}

// One run of the existing codes update through the engine, on c:\praxidome\.
void engineUpdate()
{
    Engine engine;
    DataSource data1(engine, QStringLiteral("Data1"));
    DataSource data2(engine, QStringLiteral("Data2"));
    data1.bind(QStringLiteral("c:\\praxidome\\pat.mdb"), QStringLiteral("nomenclature"));
    data2.bind(QStringLiteral("c:\\praxidome\\eattest.mdb"), QStringLiteral("nomen"));
    Recordset& user = data1.recordset();
    Recordset& release = data2.recordset();
    const QString releaseDate = QStringLiteral("01/01/2021");
    for (release.moveFirst(); !release.isEof(); release.moveNext()) {
        user.findFirst(QStringLiteral("[code inami] = '") + release.field(1).toString() + QLatin1Char('\''));
        if (user.noMatch())
            continue;
        user.edit();
        for (const int position : kCopied)
            user.setField(position, release.field(position));
        user.setField(19, releaseDate);
        user.update();
    }
    engine.commit();
}

void sqlUpdate(const QString& pat, const QString& eattest)
{
    sql::Database db(pat, sql::ReadWrite);
    db.exec(QStringLiteral("PRAGMA cache_size=-65536")); // as the engine's connections
    db.exec(QStringLiteral("ATTACH '%1' AS e").arg(eattest));
    db.exec(QStringLiteral(
        "BEGIN; UPDATE nomenclature SET HONORAIRE = n.HONORAIRE, REMBOURSEMENT = n.REMBOURSEMENT, "
        "TICKET_MODERATEUR = n.TICKET_MODERATEUR, CATEGORIE = n.CATEGORIE, HONORAIRE_BIM = n.HONORAIRE_BIM, "
        "REMBOURSEMENT_BIM = n.REMBOURSEMENT_BIM, TICKET_BIM = n.TICKET_BIM, AGE_MIN = n.AGE_MIN, "
        "AGE_MAX = n.AGE_MAX, DENTS = n.DENTS, LETTRE_CLE = n.LETTRE_CLE, DATE_VALIDITE = n.DATE_VALIDITE, "
        "DATE_MAJ = '2021-01-01 00:00:00' FROM e.nomen AS n WHERE nomenclature.\"code inami\" = n.\"code inami\"; "
        "COMMIT;"));
}

void floorUpdate(const QString& pat, const QString& eattest)
{
    sql::Database user(pat, sql::ReadWrite);
    sql::Database release(eattest, sql::ReadOnly);
    user.exec(QStringLiteral("PRAGMA cache_size=-65536; BEGIN"));
    std::unordered_map<std::string, qint64> rowids;
    auto codes = user.prepare(QStringLiteral("SELECT rowid, \"code inami\" FROM nomenclature"));
    while (codes.step())
        rowids.emplace(reinterpret_cast<const char*>(sqlite3_column_text(codes.handle(), 1)),
                       sqlite3_column_int64(codes.handle(), 0));
    QStringList names;
    auto info = user.prepare(QStringLiteral("PRAGMA table_info(nomenclature)"));
    while (info.step())
        names.append(QStringLiteral("\"%1\"").arg(info.column(1).toString()));
    QStringList set;
    QStringList read{names[1]};
    for (const int position : kCopied) {
        set.append(names[position] + QStringLiteral(" = ?"));
        read.append(names[position]);
    }
    set.append(names[19] + QStringLiteral(" = '2021-01-01 00:00:00'"));
    auto update = user.prepare(QStringLiteral("UPDATE nomenclature SET %1 WHERE rowid = ?").arg(set.join(',')));
    auto rows = release.prepare(QStringLiteral("SELECT %1 FROM nomen ORDER BY rowid").arg(read.join(',')));
    constexpr int kCount = int(std::size(kCopied));
    while (rows.step()) {
        const auto found = rowids.find(reinterpret_cast<const char*>(sqlite3_column_text(rows.handle(), 0)));
        if (found == rowids.end())
            continue;
        for (int i = 0; i < kCount; ++i)
            sqlite3_bind_value(update.handle(), i + 1, sqlite3_column_value(rows.handle(), i + 1));
        sqlite3_bind_int64(update.handle(), kCount + 1, found->second);
        update.step();
        update.reset();
    }
    user.exec(QStringLiteral("COMMIT"));
}

// The duplicate check's pattern: rows whose abbreviation another row shares.
int engineDuplicates()
{
    int shared = 0;
    Engine engine;
    DataSource data1(engine, QStringLiteral("Data1"));
    DataSource data2(engine, QStringLiteral("Data2"));
    data1.bind(QStringLiteral("c:\\praxidome\\pat.mdb"), QStringLiteral("nomenclature"));
    data2.setDatabaseName(QStringLiteral("c:\\praxidome\\pat.mdb"));
    Recordset& rows = data1.recordset();
    for (rows.moveFirst(); !rows.isEof(); rows.moveNext()) {
        data2.setRecordSource(QStringLiteral("select * from nomenclature where ABREVIATION = '") +
                              rows.field(0).toString() + QLatin1Char('\''));
        data2.refresh();
        Recordset& selection = data2.recordset();
        selection.moveLast();
        selection.moveFirst();
        if (selection.recordCount() != 1)
            ++shared;
    }
    return shared;
}

int sqlDuplicates(const QString& pat)
{
    // The data is ASCII: SQLite's NOCASE is the engine's equality here.
    sql::Database db(pat, sql::ReadOnly);
    auto count = db.prepare(QStringLiteral("SELECT total(c) FROM (SELECT count(*) AS c FROM nomenclature "
                                           "GROUP BY ABREVIATION COLLATE NOCASE HAVING c > 1)"));
    return count.step() ? count.column(0).toInt() : -1;
}

void replace(const QString& from, const QString& to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to))
        qFatal("cannot copy %s", qPrintable(from));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir drive;
    qputenv("MAJ_DRIVE_C", drive.path().toUtf8());
    for (const char* folder : {"praxidome", "sql", "orig"})
        QDir(drive.path()).mkpath(QLatin1String(folder));
    const QString orig = drive.filePath(QStringLiteral("orig/"));
    const QString pat = drive.filePath(QStringLiteral("praxidome/pat.mdb"));
    const QString eattest = drive.filePath(QStringLiteral("praxidome/eattest.mdb"));
    const QString sqlPat = drive.filePath(QStringLiteral("sql/pat.mdb"));
    const QString sqlEattest = drive.filePath(QStringLiteral("sql/eattest.mdb"));
    const int count = runs();
    bool same = true;
    auto measure = [&](bool shuffled) {
        generate(orig + QStringLiteral("pat.mdb"), orig + QStringLiteral("eattest.mdb"), shuffled);
        // A turn of a side: fresh copies of both files where it works on them, then its timed work.
        const auto side = [&](const QString& toPat, const QString& toEattest, std::function<void()> work) {
            return [&, toPat, toEattest, work](int) {
                replace(orig + QStringLiteral("pat.mdb"), toPat);
                replace(orig + QStringLiteral("eattest.mdb"), toEattest);
                return timed(work);
            };
        };
        const auto set = side(sqlPat, sqlEattest, [&] { sqlUpdate(sqlPat, sqlEattest); });
        const Comparison c = compare(count, side(pat, eattest, engineUpdate), set);
        same = same && digest(pat) == digest(sqlPat);
        const Comparison floor = compare(count, side(pat, eattest, [&] { floorUpdate(pat, eattest); }), set);
        same = same && digest(pat) == digest(sqlPat);
        QFile::remove(orig + QStringLiteral("pat.mdb"));
        QFile::remove(orig + QStringLiteral("eattest.mdb"));
        return std::pair{c, floor};
    };
    std::printf("rows: %d\n", kRows);
    for (const bool shuffled : {true, false}) {
        const auto [engine, floor] = measure(shuffled);
        const char* order = shuffled ? "shuffled" : "in code order";
        engine.print(qPrintable(QStringLiteral("find-first-then-update, release %1, against UPDATE ... FROM")
                                    .arg(QLatin1String(order))),
                     1.5);
        floor.print(qPrintable(QStringLiteral("  the floor: the same cycles through SQLite's C interface alone, "
                                              "release %1, against UPDATE ... FROM")
                                   .arg(QLatin1String(order))),
                    1.5);
    }
    int shared = -1;
    int expected = -2;
    compare(
        count, [&](int) { return timed([&] { shared = engineDuplicates(); }); },
        [&](int) { return timed([&] { expected = sqlDuplicates(sqlPat); }); })
        .print("duplicate-check probes against GROUP BY", 1.5);
    std::printf("same rows on both sides: %s; rows shared: %d (GROUP BY: %d)\n", same ? "yes" : "NO", shared, expected);
    return same && shared == expected ? 0 : 1;
}
