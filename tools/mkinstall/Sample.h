#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <stdexcept>

// A sample installation of the practice application for demos, tests and benchmarks: the
// application folder under a drive c: root, its databases filled with plausible French data, and
// a release medium. Everything is drawn from one seed, so one seed always gives the same files.
namespace maj::sample {

// Broken installations that tests of the update steps need.
enum class Fault : unsigned
{
    MissingEattest = 1u << 0,        // no eattest.mdb on the medium
    DuplicateAbbreviation = 1u << 1, // two user codes share one abbreviation, in different letter case
    MissingHelp = 1u << 2,           // no praxidome\aide\aide.htm
    Apostrophe = 1u << 3,            // a user code (and its release copy) whose code and abbreviation hold a quote
    NullAbbreviation = 1u << 4,      // a user code without abbreviation
};

class SampleError : public std::runtime_error
{
public:
    explicit SampleError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

struct Options
{
    QString drive;  // host folder standing for drive c:
    QString medium; // host folder of the release medium; empty: no medium
    int codes = 3000;
    // Codes of the release that the user's table lacks. -1: derived from sharedPercent, the
    // release then holding every user code.
    int newCodes = -1;
    // Share of the release's codes that the user's table already holds. -1: 97. Given with
    // newCodes, it fixes how many user codes the release lists (the others are codes the release
    // dropped).
    double sharedPercent = -1;
    // Share of the shared codes whose prices or texts the release changes.
    double changedPercent = 20;
    int patients = 300;
    int treatments = 4000;
    int years = 5;
    bool client = false;
    quint32 seed = 1;
    unsigned faults = 0;
    bool savedExe = false;   // c:\MAJJAN2021\praxidome.exe, as if the release ran before
    bool instaMarker = true; // pannexe.mdb ortho holds the "Insta" record of earlier updates
    bool force = false;      // empty non-empty target folders instead of refusing
    QDate today;             // the day the data leads up to; null: the current date

    bool has(Fault fault) const { return (faults & unsigned(fault)) != 0; }
};

// The tool's command line (arguments[0] is the program). Throws SampleError on a bad value.
// Sets *help when --help was asked; the options are then meaningless.
Options parseArguments(const QStringList& arguments, bool* help = nullptr);
QString usage();
// "missing-eattest", "duplicate-abbreviation", ...; throws SampleError on an unknown name.
Fault faultFromName(const QString& name);

// One row of a table, values by column position: null is an invalid QVariant, yes/no a bool,
// dates QDateTime (stored as "yyyy-MM-dd HH:mm:ss" text).
using Row = QVariantList;

// Number of columns of the tariff code record as the sample fills it (positions 0 to 21).
constexpr int NomenclatureColumns = 22;

// The four tariff code tables of an installation, in table order.
struct NomenclatureTables
{
    QList<Row> user;      // pat.mdb nomenclature
    QList<Row> installed; // c:\praxidome\eattest.mdb nomen, the previous release's
    QList<Row> release;   // the medium's eattest.mdb nomen
    QList<Row> reduced;   // traj.mdb nomenclature
    int sharedCodes = 0;  // release codes the user's table holds
    int changedCodes = 0; // of those, codes whose values the release changes
    int newCodes = 0;     // release codes the user's table lacks
};

// Lays out the installation under options.drive and, when options.medium is set, the release
// medium. Creates missing folders; refuses a non-empty one unless options.force. Throws SampleError.
// The tariff code tables written go to *written when it is given.
void layOut(const Options& options, NomenclatureTables* written = nullptr);

// Pure: the tariff code tables that layOut writes for these options (sizes, faults, seed).
NomenclatureTables makeNomenclature(const Options& options);

// Creates (or completes) a database file from the compiled-in schema ("pat", "parametres",
// "eattest", "pannexe", "traj", "rappels", "etarification"), creating its folder.
void createDatabase(const QString& hostPath, const QString& schemaName);
QStringList schemaNames();
// The compiled-in schema text.
QString schemaText(const QString& schemaName);

// Appends rows to a table of an existing database file in one transaction, each row filling the
// table's first row.size() columns.
void writeRows(const QString& hostPath, const QString& table, const QList<Row>& rows);
// The same for a tariff code table; creates the file and the table when they do not exist.
void writeNomenclature(const QString& hostPath, const QString& table, const QList<Row>& rows);

} // namespace maj::sample
