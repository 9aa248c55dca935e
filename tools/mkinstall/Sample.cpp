#include "Sample.h"

#include "SampleDetail.h"

#include <QCommandLineParser>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

// Outside any namespace, as the macro requires.
static void initSchemaResource()
{
    Q_INIT_RESOURCE(maj_schema);
}

namespace maj::sample {

using namespace detail;

namespace detail {

QDateTime installedAt(const Options& options)
{
    const QDate early = options.today.addYears(-(options.years + 1));
    return QDateTime(std::min(early, QDate(2019, 3, 11)), QTime(16, 42, 10));
}

QDate previousUpdateDay(const Options& options)
{
    QDate day(2020, 7, 20);
    const QDate installed = installedAt(options).date();
    if (day <= installed)
        day = installed.addDays(30);
    return std::min(day, options.today);
}

namespace {

QString quoted(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

sql::Statement prepareInsert(sql::Database& db, const QString& table, const QStringList& columns)
{
    if (columns.isEmpty())
        throw SampleError(QStringLiteral("no table %1").arg(table));
    QStringList names, marks;
    for (const QString& column : columns) {
        names.append(quoted(column));
        marks.append(QStringLiteral("?"));
    }
    return db.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(quoted(table), names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
}

// The value of a column's DEFAULT clause as the schema writes it (numbers or quoted text).
QVariant defaultValue(const QVariant& clause)
{
    if (!clause.isValid())
        return {};
    const QString text = clause.toString().trimmed();
    bool ok = false;
    if (const qlonglong whole = text.toLongLong(&ok); ok)
        return whole;
    if (const double number = text.toDouble(&ok); ok)
        return number;
    if (text.size() >= 2 && text.startsWith(QLatin1Char('\'')) && text.endsWith(QLatin1Char('\'')))
        return text.mid(1, text.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    if (text.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0)
        return {};
    throw SampleError(QStringLiteral("unsupported default %1").arg(text));
}

struct ColumnInfo
{
    QStringList names;
    QVariantList defaults;
};

ColumnInfo columnInfo(sql::Database& db, const QString& table)
{
    ColumnInfo info;
    sql::Statement query = db.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table)));
    while (query.step()) {
        info.names.append(query.column(1).toString());
        info.defaults.append(defaultValue(query.column(4)));
    }
    return info;
}

} // namespace

TableWriter::TableWriter(sql::Database& db, const QString& table, const QStringList& columns)
    : m_insert(prepareInsert(db, table, columns.isEmpty() ? columnsOf(db, table) : columns)),
      m_count(columns.isEmpty() ? int(columnsOf(db, table).size()) : int(columns.size()))
{}

void TableWriter::add(const Row& values)
{
    if (values.size() != m_count)
        throw SampleError(QStringLiteral("a row of %1 values for %2 columns").arg(values.size()).arg(m_count));
    for (int i = 0; i < m_count; ++i)
        m_insert.bind(i + 1, values[i]);
    m_insert.step();
    m_insert.reset();
}

QStringList TableWriter::columnsOf(sql::Database& db, const QString& table)
{
    return columnInfo(db, table).names;
}

NamedWriter::NamedWriter(sql::Database& db, const QString& table)
    : m_table(table), m_columns(columnInfo(db, table).names), m_defaults(columnInfo(db, table).defaults),
      m_writer(db, table, m_columns)
{}

void NamedWriter::add(const QVariantMap& values)
{
    Row row = m_defaults;
    for (auto it = values.begin(); it != values.end(); ++it) {
        const qsizetype position = m_columns.indexOf(it.key());
        if (position < 0)
            throw SampleError(QStringLiteral("table %1 has no column %2").arg(m_table, it.key()));
        row[position] = it.value();
    }
    m_writer.add(row);
}

sql::Database connect(const QString& hostPath, sql::Mode mode)
{
    sql::Database db(hostPath, mode);
    // A generated file needs no protection against a power cut: it is generated again. Waiting
    // for the disk at each of the many small transactions would make a tiny layout take seconds.
    db.exec(QStringLiteral("PRAGMA synchronous = OFF"));
    return db;
}

sql::Database openDatabase(const QString& hostPath, const QString& schemaName)
{
    createDatabase(hostPath, schemaName);
    return connect(hostPath, sql::ReadWrite);
}

} // namespace detail

namespace {

const char* const releaseFolderName = "MAJJAN2021";
const QDateTime releaseBuilt(QDate(2020, 12, 18), QTime(10, 0));

void writeFile(const QString& path, const QByteArray& content, const QDateTime& modified = {})
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        throw SampleError(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    // Flushed first: a later write-back would stamp the file anew.
    if (modified.isValid() && (!file.flush() || !file.setFileTime(modified, QFileDevice::FileModificationTime)))
        throw SampleError(QStringLiteral("cannot date %1: %2").arg(path, file.errorString()));
}

void makeFolder(const QString& path)
{
    if (!QDir().mkpath(path))
        throw SampleError(QStringLiteral("cannot create the folder %1").arg(path));
}

// A folder may be emptied only when nothing of value can be in it by mistake.
void refuseDangerous(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    const QString cwd = QDir::current().canonicalPath();
    const QString home = QDir::home().canonicalPath();
    if (canonical == QDir::rootPath() || canonical == home || cwd == canonical ||
        cwd.startsWith(canonical + QLatin1Char('/')))
        throw SampleError(QStringLiteral("refusing to empty %1").arg(path));
}

void prepareFolder(const QString& path, bool force)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isDir())
        throw SampleError(QStringLiteral("%1 is not a folder").arg(path));
    QDir dir(path);
    if (info.exists() && !dir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        if (!force)
            throw SampleError(QStringLiteral("%1 is not empty: use --force to empty and rebuild it").arg(path));
        refuseDangerous(path);
        const QFileInfoList entries =
            dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        for (const QFileInfo& entry : entries) {
            const bool removed = entry.isDir() && !entry.isSymLink() ? QDir(entry.filePath()).removeRecursively()
                                                                     : QFile::remove(entry.filePath());
            if (!removed)
                throw SampleError(QStringLiteral("cannot remove %1").arg(entry.filePath()));
        }
    }
    makeFolder(path);
}

bool nested(const QString& a, const QString& b)
{
    const QString x = QDir::cleanPath(QFileInfo(a).absoluteFilePath());
    const QString y = QDir::cleanPath(QFileInfo(b).absoluteFilePath());
    return x == y || x.startsWith(y + QLatin1Char('/')) || y.startsWith(x + QLatin1Char('/'));
}

void validate(const Options& o)
{
    if (o.drive.isEmpty())
        throw SampleError(QStringLiteral("no drive folder given (--drive)"));
    if (o.patients < 0 || o.treatments < 0)
        throw SampleError(QStringLiteral("sizes cannot be negative"));
    if (o.years < 1 || o.years > 40)
        throw SampleError(QStringLiteral("--years must be between 1 and 40"));
    if (!o.medium.isEmpty() && nested(o.drive, o.medium))
        throw SampleError(QStringLiteral("the drive and the medium must be separate folders"));
}

// The census file the previous update left in the work folder.
QByteArray previousReport(const Options& options, QString* name)
{
    const QDate day = previousUpdateDay(options);
    const QString computer = options.client ? QStringLiteral("POSTE2") : QStringLiteral("SERVEUR");
    *name = QStringLiteral("Cabinet_dentaire_Dupont_&_Fils_%1_%2.pxd")
                .arg(computer, day.toString(QStringLiteral("yyyyMMdd")));
    QStringList lines;
    lines << QStringLiteral("%1;09:41;NL;8.6.6;VERSION PLURI;%2;%3;Cabinet dentaire Dupont & Fils;"
                            "Chaussée de Bruxelles 135;Waterloo; 3 ")
                 .arg(day.toString(QStringLiteral("d/MM/yy")),
                      options.client ? QStringLiteral("POSTE CLIENT") : QStringLiteral("SERVEUR"), computer);
    if (!options.client) {
        lines << QStringLiteral("%1; 3 ").arg(day.year() - 1)
              << QStringLiteral("Dupont Jean;%1;Dupont Mathieu;%2;Van den Bossche Pieter;%3;FIN")
                     .arg(inamiNumber(4512, "001"), inamiNumber(18734, "001"), inamiNumber(9871, "001"))
              << QStringLiteral("%1; 2 ").arg(day.year())
              << QStringLiteral("Dupont Jean;%1;Dupont Mathieu;%2;FIN")
                     .arg(inamiNumber(4512, "001"), inamiNumber(18734, "001"));
    }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1();
}

void layOutDrive(const Options& options, const NomenclatureTables& codes)
{
    const QDir drive(options.drive);
    const QString praxidome = drive.filePath(QStringLiteral("praxidome"));
    const QDir app(praxidome);
    const QDateTime updated(previousUpdateDay(options), QTime(9, 40));
    const QDateTime installed = installedAt(options);

    for (const char* folder : {"aide", "ASSURABILITY/P12/PRD", "FORMULAIRES", "mails", "MAJ"})
        makeFolder(app.filePath(QString::fromUtf8(folder)));

    writeFile(app.filePath(QStringLiteral("praxidome.exe")), executable(QStringLiteral("8.6.7"), updated.date()),
              updated);
    if (!options.has(Fault::MissingHelp))
        writeFile(app.filePath(QStringLiteral("aide/aide.htm")), helpPage(QStringLiteral("8.6.7"), QDate(2020, 6, 15)),
                  updated);
    writeFile(app.filePath(QStringLiteral("st6unst.log")), installLog(installed), installed);
    writeFile(app.filePath(QStringLiteral("ASSURABILITY/MyCarenetProxy6.jar")),
              jar(QStringLiteral("MyCarenetProxy6"), QStringLiteral("6.2.0"), updated), updated);
    writeFile(app.filePath(QStringLiteral("ASSURABILITY/MyCarenetProxy2.jar")),
              jar(QStringLiteral("MyCarenetProxy2"), QStringLiteral("2.4.0"), updated), updated);
    for (const char* store : {"truststore.jks", "caCertificateKeystore.jks", "tsacertificate.jks"})
        writeFile(app.filePath(QStringLiteral("ASSURABILITY/P12/PRD/") + QString::fromUtf8(store)),
                  keystore(QStringLiteral("changeit")), updated);
    writeFile(app.filePath(QStringLiteral("FORMULAIRES/DPSI_P1.jpg")), formImage(1, 2019), updated);
    writeFile(app.filePath(QStringLiteral("FORMULAIRES/DPSI_P2.jpg")), formImage(2, 2019), updated);
    writeFile(app.filePath(QStringLiteral("mails/rappel.htm")), reminderTemplate(), installed);
    QString reportName;
    const QByteArray report = previousReport(options, &reportName);
    writeFile(app.filePath(QStringLiteral("MAJ/") + reportName), report, updated);

    const QString pat = app.filePath(QStringLiteral("pat.mdb"));
    writeNomenclature(pat, QStringLiteral("nomenclature"), codes.user);
    writeNomenclature(app.filePath(QStringLiteral("eattest.mdb")), QStringLiteral("nomen"), codes.installed);
    writeNomenclature(app.filePath(QStringLiteral("traj.mdb")), QStringLiteral("nomenclature"), codes.reduced);
    writePractice(praxidome, options, codes);

    if (options.savedExe)
        writeFile(drive.filePath(QString::fromUtf8(releaseFolderName) + QStringLiteral("/praxidome.exe")),
                  executable(QStringLiteral("8.6.7"), updated.date()), updated);
}

void layOutMedium(const Options& options, const NomenclatureTables& codes)
{
    const QDir medium(options.medium);
    if (!options.has(Fault::MissingEattest))
        writeNomenclature(medium.filePath(QStringLiteral("eattest.mdb")), QStringLiteral("nomen"), codes.release);
    writeFile(medium.filePath(QStringLiteral("aide.htm")), helpPage(QStringLiteral(MAJ_VERSION), releaseBuilt.date()),
              releaseBuilt);
    writeFile(medium.filePath(QStringLiteral("MyCarenetProxy6.jar")),
              jar(QStringLiteral("MyCarenetProxy6"), QStringLiteral("6.3.1"), releaseBuilt), releaseBuilt);
    writeFile(medium.filePath(QStringLiteral("MyCarenetProxy2.jar")),
              jar(QStringLiteral("MyCarenetProxy2"), QStringLiteral("2.5.2"), releaseBuilt), releaseBuilt);
    for (const char* store : {"truststore.jks", "caCertificateKeystore.jks", "tsacertificate.jks"})
        writeFile(medium.filePath(QString::fromUtf8(store)), keystore(QStringLiteral("praxidome2021")), releaseBuilt);
    writeFile(medium.filePath(QStringLiteral("DPSI_P1.jpg")), formImage(1, 2021), releaseBuilt);
    writeFile(medium.filePath(QStringLiteral("DPSI_P2.jpg")), formImage(2, 2021), releaseBuilt);
    writeFile(medium.filePath(QStringLiteral("praxidome.exe")),
              executable(QStringLiteral(MAJ_VERSION), releaseBuilt.date()), releaseBuilt);
    writeFile(medium.filePath(QStringLiteral("Praxidome_ Assistance.lnk")), shortcut(), releaseBuilt);
}

int number(const QCommandLineParser& parser, const QString& name, int fallback, int lowest, int highest)
{
    if (!parser.isSet(name))
        return fallback;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < lowest || value > highest)
        throw SampleError(QStringLiteral("--%1 takes a whole number from %2 to %3").arg(name).arg(lowest).arg(highest));
    return value;
}

double percentage(const QCommandLineParser& parser, const QString& name, double fallback)
{
    if (!parser.isSet(name))
        return fallback;
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    if (!ok || value < 0 || value > 100)
        throw SampleError(QStringLiteral("--%1 takes a percentage from 0 to 100").arg(name));
    return value;
}

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Lays out a sample installation of the practice application (a drive c: folder) and a "
                       "release medium, for demos, tests and benchmarks."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("drive"), QStringLiteral("Folder standing for drive c:."), QStringLiteral("DIR")},
        {QStringLiteral("medium"), QStringLiteral("Folder of the release medium."), QStringLiteral("DIR")},
        {QStringLiteral("codes"), QStringLiteral("Codes of the user's tariff table (3000)."), QStringLiteral("N")},
        {QStringLiteral("new-codes"), QStringLiteral("Release codes the user's table lacks (from --shared-percent)."),
         QStringLiteral("N")},
        {QStringLiteral("shared-percent"),
         QStringLiteral("Share of the release's codes already in the user's table (97)."), QStringLiteral("P")},
        {QStringLiteral("changed-percent"),
         QStringLiteral("Share of those whose prices or texts the release changes (20)."), QStringLiteral("P")},
        {QStringLiteral("patients"), QStringLiteral("Patients (300)."), QStringLiteral("N")},
        {QStringLiteral("treatments"), QStringLiteral("Treatments (4000)."), QStringLiteral("N")},
        {QStringLiteral("years"), QStringLiteral("Years of treatments up to today (5)."), QStringLiteral("N")},
        {QStringLiteral("client"), QStringLiteral("A client workstation instead of the server.")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the generator (1)."), QStringLiteral("N")},
        {QStringLiteral("today"), QStringLiteral("The day the data leads up to (the current date)."),
         QStringLiteral("yyyy-MM-dd")},
        {QStringLiteral("fault"),
         QStringLiteral("A broken installation, repeatable: missing-eattest, duplicate-abbreviation, missing-help, "
                        "apostrophe, null-abbreviation."),
         QStringLiteral("NAME")},
        {QStringLiteral("saved-exe"), QStringLiteral("The release's safety folder already holds praxidome.exe.")},
        {QStringLiteral("no-insta"), QStringLiteral("No marker record of earlier updates in pannexe.mdb.")},
        {QStringLiteral("force"), QStringLiteral("Empty and rebuild non-empty folders.")},
    });
}

} // namespace

Fault faultFromName(const QString& name)
{
    static const std::pair<const char*, Fault> names[] = {
        {"missing-eattest", Fault::MissingEattest},     {"duplicate-abbreviation", Fault::DuplicateAbbreviation},
        {"missing-help", Fault::MissingHelp},           {"apostrophe", Fault::Apostrophe},
        {"null-abbreviation", Fault::NullAbbreviation},
    };
    for (const auto& [text, fault] : names)
        if (name == QLatin1String(text))
            return fault;
    if (name == QLatin1String("app-running"))
        throw SampleError(QStringLiteral("app-running is not a layout: hold pat.mdb open in a write transaction"));
    throw SampleError(QStringLiteral("unknown fault %1").arg(name));
}

Options parseArguments(const QStringList& arguments, bool* help)
{
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(arguments))
        throw SampleError(parser.errorText());
    if (help)
        *help = parser.isSet(QStringLiteral("help"));
    if (parser.isSet(QStringLiteral("help")))
        return {};
    if (!parser.positionalArguments().isEmpty())
        throw SampleError(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    Options o;
    o.drive = parser.value(QStringLiteral("drive"));
    o.medium = parser.value(QStringLiteral("medium"));
    if (o.drive.isEmpty())
        throw SampleError(QStringLiteral("--drive is required"));
    o.codes = number(parser, QStringLiteral("codes"), o.codes, 1, 800000);
    o.newCodes = number(parser, QStringLiteral("new-codes"), o.newCodes, 0, 800000);
    o.sharedPercent = percentage(parser, QStringLiteral("shared-percent"), o.sharedPercent);
    o.changedPercent = percentage(parser, QStringLiteral("changed-percent"), o.changedPercent);
    o.patients = number(parser, QStringLiteral("patients"), o.patients, 0, 10000000);
    o.treatments = number(parser, QStringLiteral("treatments"), o.treatments, 0, 100000000);
    o.years = number(parser, QStringLiteral("years"), o.years, 1, 40);
    o.client = parser.isSet(QStringLiteral("client"));
    if (parser.isSet(QStringLiteral("seed"))) {
        bool ok = false;
        o.seed = parser.value(QStringLiteral("seed")).toUInt(&ok);
        if (!ok)
            throw SampleError(QStringLiteral("--seed takes a whole number from 0 to 4294967295"));
    }
    if (parser.isSet(QStringLiteral("today"))) {
        o.today = QDate::fromString(parser.value(QStringLiteral("today")), Qt::ISODate);
        if (!o.today.isValid())
            throw SampleError(QStringLiteral("--today takes a date as yyyy-MM-dd"));
    }
    for (const QString& name : parser.values(QStringLiteral("fault")))
        o.faults |= unsigned(faultFromName(name));
    o.savedExe = parser.isSet(QStringLiteral("saved-exe"));
    o.instaMarker = !parser.isSet(QStringLiteral("no-insta"));
    o.force = parser.isSet(QStringLiteral("force"));
    return o;
}

QString usage()
{
    QCommandLineParser parser;
    describe(parser);
    return parser.helpText();
}

QStringList schemaNames()
{
    initSchemaResource();
    QStringList names;
    for (const QString& file :
         QDir(QStringLiteral(":/schema")).entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name))
        names.append(QFileInfo(file).completeBaseName());
    return names;
}

QString schemaText(const QString& schemaName)
{
    initSchemaResource();
    QFile file(QStringLiteral(":/schema/%1.sql").arg(schemaName));
    if (!file.open(QIODevice::ReadOnly))
        throw SampleError(QStringLiteral("no schema %1").arg(schemaName));
    return QString::fromUtf8(file.readAll());
}

void createDatabase(const QString& hostPath, const QString& schemaName)
{
    const QString schema = schemaText(schemaName);
    makeFolder(QFileInfo(hostPath).absolutePath());
    sql::Database db = connect(hostPath, sql::Create);
    db.exec(schema);
}

void writeRows(const QString& hostPath, const QString& table, const QList<Row>& rows)
{
    if (!QFileInfo::exists(hostPath))
        throw SampleError(QStringLiteral("no database %1").arg(hostPath));
    sql::Database db = connect(hostPath, sql::ReadWrite);
    const QStringList columns = TableWriter::columnsOf(db, table);
    if (columns.isEmpty())
        throw SampleError(QStringLiteral("no table %1 in %2").arg(table, hostPath));
    if (rows.isEmpty())
        return;
    const qsizetype width = rows.first().size();
    if (width > columns.size())
        throw SampleError(
            QStringLiteral("rows of %1 values for the %2 columns of %3").arg(width).arg(columns.size()).arg(table));
    db.exec(QStringLiteral("BEGIN"));
    TableWriter writer(db, table, columns.mid(0, width));
    for (const Row& row : rows)
        writer.add(row);
    db.exec(QStringLiteral("COMMIT"));
}

void writeNomenclature(const QString& hostPath, const QString& table, const QList<Row>& rows)
{
    {
        makeFolder(QFileInfo(hostPath).absolutePath());
        sql::Database db = connect(hostPath, sql::Create);
        if (TableWriter::columnsOf(db, table).isEmpty()) {
            // The record's definition is the release table's, under the name asked for.
            static const QRegularExpression statement(QStringLiteral("CREATE TABLE IF NOT EXISTS nomen \\(.*?\\n\\);"),
                                                      QRegularExpression::DotMatchesEverythingOption);
            const QRegularExpressionMatch match = statement.match(schemaText(QStringLiteral("eattest")));
            if (!match.hasMatch())
                throw SampleError(QStringLiteral("the eattest schema no longer defines nomen"));
            QString definition = match.captured(0);
            definition.replace(QStringLiteral("EXISTS nomen ("), QStringLiteral("EXISTS %1 (").arg(quoted(table)));
            db.exec(definition);
        }
    }
    writeRows(hostPath, table, rows);
}

void layOut(const Options& given, NomenclatureTables* written)
{
    Options options = given;
    if (!options.today.isValid())
        options.today = QDate::currentDate();
    validate(options);
    const NomenclatureTables codes = makeNomenclature(options);

    prepareFolder(options.drive, options.force);
    if (!options.medium.isEmpty())
        prepareFolder(options.medium, options.force);
    layOutDrive(options, codes);
    if (!options.medium.isEmpty())
        layOutMedium(options, codes);
    if (written)
        *written = codes;
}

} // namespace maj::sample
