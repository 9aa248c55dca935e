#include "deploy/Deploy.h"
#include "deploy/WorkFolder.h"
#include "platform/Ansi.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/MajError.h"
#include "report/Census.h"
#include "report/Report.h"
#include "run/Step.h"

#include <QCoreApplication>
#include <QFile>
#include <QScopeGuard>
#include <QSysInfo>

namespace maj {

namespace {

// The report file: lines in the ANSI code page, each ended by CR LF, written as they come so that
// a failure keeps what was written before it.
class ReportFile
{
public:
    explicit ReportFile(const QString& windowsPath) : m_file(fs::hostPath(windowsPath))
    {
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw MajError(err::PathFileAccess);
    }

    void writeLine(const QString& line)
    {
        if (m_file.write(toAnsi(line) + "\r\n") < 0)
            throw MajError(err::DiskFull);
    }

    void close()
    {
        if (!m_file.flush())
            throw MajError(err::DiskFull);
        m_file.close();
    }

private:
    QFile m_file;
};

void appendSummary(WindowModel& window, const QStringList& lines)
{
    for (const QString& line : lines)
        window.txtconvention += QStringLiteral("\r\n") + line;
}

// Deletes the files of the work folder that carry normal attributes, read-only ones included, but
// the release's own files when it was put there and the program being run.
void emptyWorkFolder(const QString& mediaKind)
{
    const QStringList listed = fs::listFiles(Installation::inWorkFolder(QStringLiteral("*.*")));
    // The running program (none without an application object, as in the benchmarks) stays.
    const QString running = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    for (const QString& name : deploy::workFilesToDelete(listed, mediaKind, running)) {
        fs::setArchiveOnly(Installation::inWorkFolder(name));
        fs::deleteFile(Installation::inWorkFolder(name));
    }
}

// The number of rows of a query, which it leaves on its first row; the move to the last row makes the
// count cover them all.
qint64 rowCount(Recordset& rs)
{
    if (rs.isBof() && rs.isEof())
        return 0;
    rs.moveLast();
    rs.moveFirst();
    return rs.recordCount();
}

// The dentists of a year's query (on its first row, as rowCount left it) that the dentiste table
// knows, in the query's order.
QList<census::Dentist> listedDentists(Recordset& year, Recordset& dentists)
{
    QList<census::Dentist> listed;
    for (; !year.isEof(); year.moveNext()) {
        // Treatments without a dentist form a group of their own: counted, but there is nobody
        // to look up (an empty criterion would stop the census halfway).
        const QString number = fmt::text(year.field(0));
        if (number.isEmpty())
            continue;
        dentists.findFirst(QStringLiteral("numdentiste = ") + number);
        if (!dentists.noMatch())
            listed.append({dentists.field(1), dentists.field(6), dentists.field(8)});
    }
    return listed;
}

} // namespace

QString nomordinateur()
{
    return QSysInfo::machineHostName();
}

void cadastre(Form1Core& f)
{
    WindowModel& window = f.window;
    const auto showAtEnd = qScopeGuard([&window] { window.notify(); });
    // Silent: the opening goes on whatever the census could write.
    runStep(
        f, "cadastre",
        [&] {
            window.txtconventionFontSize = 10;
            appendSummary(window, census::introSummary());
            const QString computerName = nomordinateur();
            creemaj(f);
            emptyWorkFolder(f.settings.MediaKind);

            f.data.Data4.bind(Installation::patientDatabase(), QStringLiteral("select * from parapat"));
            const QDate today = f.clock.today();
            census::Year current{today.year(), 0, {}};
            census::Year previous{today.year() - 1, 0, {}};
            f.data.Data1.bind(Installation::patientDatabase(), census::yearQuery(current.year));
            f.data.Data3.bind(Installation::patientDatabase(), census::yearQuery(previous.year));
            f.data.Data2.bind(Installation::patientDatabase(), QStringLiteral("select * from dentiste"));
            current.count = rowCount(f.data.Data1.recordset());
            previous.count = rowCount(f.data.Data3.recordset());

            Recordset& settings = f.data.Data7.recordset();
            f.settings.ReportName = enleveaccents(fmt::text(settings.field(15)));
            // The name must stay one component of the work folder: a practice name holding a
            // backslash or a slash would otherwise put the report elsewhere.
            const QString fileName = census::reportFileName(f.settings.ReportName, computerName, today);
            if (!census::isPlainFileName(fileName))
                throw MajError(err::BadFileName);
            ReportFile file(Installation::inWorkFolder(fileName));

            const census::Header header{f.clock.now(),
                                        f.settings.LanguageCode,
                                        f.data.Data4.recordset().field(3),
                                        window.LBLSERVEURCLIENT,
                                        computerName,
                                        settings.field(15),
                                        settings.field(16),
                                        settings.field(17),
                                        settings.field(20)};
            file.writeLine(census::headerLine(header));
            appendSummary(window, census::headerSummary(header));

            if (!f.settings.StationRole) {
                Recordset& dentists = f.data.Data2.recordset();
                for (auto [year, rows] : {std::pair{&previous, &f.data.Data3}, std::pair{&current, &f.data.Data1}}) {
                    file.writeLine(census::countLine(*year));
                    appendSummary(window, {census::countSummary(*year)});
                    year->dentists = listedDentists(rows->recordset(), dentists);
                    file.writeLine(census::dentistsLine(*year));
                    appendSummary(window, census::dentistsSummary(*year));
                }
            }
            file.close();
        },
        silently);
}

} // namespace maj
