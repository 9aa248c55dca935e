#pragma once

#include "Sample.h"
#include "SqliteFile.h"

#include <QDateTime>
#include <QVariantMap>

#include <random>
#include <span>

// Internals shared by the sample's source files.
namespace maj::sample::detail {

// Reproducible everywhere: std::mt19937's output is fixed by the standard, and the bounded draws
// below are our own (the standard distributions differ between libraries). Each part of the
// installation draws from its own stream, so changing one size leaves the other tables alone.
class Rng
{
public:
    Rng(quint32 seed, quint32 stream) : m_engine(mix(seed, stream)) {}

    quint32 next() { return quint32(m_engine()); }
    // 0 <= result < n (n > 0).
    int below(int n) { return int((quint64(next()) * quint64(n)) >> 32); }
    // lo <= result <= hi.
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    double unit() { return next() / 4294967296.0; }
    bool chance(double p) { return unit() < p; }
    template <typename T> const T& pick(std::span<const T> items) { return items[size_t(below(int(items.size())))]; }
    template <typename T> void shuffle(QList<T>& items)
    {
        for (qsizetype i = items.size() - 1; i > 0; --i)
            items.swapItemsAt(i, below(int(i + 1)));
    }

private:
    static quint32 mix(quint32 seed, quint32 stream)
    {
        quint64 z = (quint64(seed) << 32 | stream) + 0x9e3779b97f4a7c15ull;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return quint32(z ^ (z >> 31));
    }
    std::mt19937 m_engine;
};

// Streams of the generator.
enum Stream : quint32
{
    NomenclatureStream = 1,
    PatientStream,
    TreatmentStream,
    OrthoStream,
    ReminderStream,
    FileStream,
};

inline double cents(double amount)
{
    return std::round(amount * 100.0) / 100.0;
}

// A date and time of the data. Stored as text without a zone; built in UTC only because local
// times ask the system's zone rules on every conversion, which slows a million rows to minutes.
inline QDateTime at(const QDate& day, int hour = 0, int minute = 0, int second = 0)
{
    return QDateTime(day, QTime(hour, minute, second), Qt::UTC);
}

// Lower-case letters without accents, for e-mail addresses ("Élise" -> "elise").
QString asciiFold(const QString& text);

// "3-12345-67-890": profession, number, check digits, qualification.
QString inamiNumber(int number, const char* qualification);

// The day the installation was set up (the install log's date), and the previous update.
QDateTime installedAt(const Options& options);
QDate previousUpdateDay(const Options& options);

// Prepared insert into a table: by position when no column names are given.
class TableWriter
{
public:
    TableWriter(sql::Database& db, const QString& table, const QStringList& columns = {});
    void add(const Row& values);
    // Column names of a table, in order (empty when it does not exist).
    static QStringList columnsOf(sql::Database& db, const QString& table);

private:
    sql::Statement m_insert;
    int m_count = 0;
};

// Prepared insert by column names: a column left out takes its default (or null); a name the
// table lacks is an error, so a schema change cannot go unnoticed.
class NamedWriter
{
public:
    NamedWriter(sql::Database& db, const QString& table);
    void add(const QVariantMap& values);

private:
    QString m_table;
    QStringList m_columns;
    QVariantList m_defaults;
    TableWriter m_writer;
};

// Opens a database file without waiting for the disk at each commit.
sql::Database connect(const QString& hostPath, sql::Mode mode);
// Opens (creating it from its schema) a database file of the installation.
sql::Database openDatabase(const QString& hostPath, const QString& schemaName);

// The practice's data: pat.mdb (but for the tariff codes), parametres.mdb, pannexe.mdb,
// rappels.mdb and etarification.mdb, each table in one transaction.
void writePractice(const QString& praxidome, const Options& options, const NomenclatureTables& codes);

// Files other than databases.
QByteArray executable(const QString& version, const QDate& built);
QByteArray helpPage(const QString& version, const QDate& edition);
QByteArray installLog(const QDateTime& installed);
QByteArray jar(const QString& name, const QString& version, const QDateTime& built);
QByteArray keystore(const QString& password);
QByteArray shortcut();
QByteArray formImage(int page, int edition);
QByteArray reminderTemplate();

} // namespace maj::sample::detail
