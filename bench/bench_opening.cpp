// The opening work with and without the check of the practice's databases, on a pat.mdb of about
// 1 GB (MAJ_BENCH_MB to change it), laid out two ways: treatment notes under an index (small rows,
// the costliest for the check) and scanned documents (1 MB blobs, whose pages the check only chains).
//
// Both sides run the opening's steps that touch the installation (the release's check, the safety
// folder, the copy of pat.mdb, the station's role, the census); one of them runs verifiebases first.
// Five runs of each, taken in turn, with pat.mdb first put out of the page cache as on a machine
// that has just started, then five more with it in the cache; the medians are compared.

#include "BenchSupport.h"
#include "Sample.h"
#include "db/DbSteps.h"
#include "deploy/Deploy.h"
#include "deploy/Release.h"
#include "report/Report.h"
#include "run/Form1Core.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <clocale>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

using namespace maj;
using namespace maj::bench;

namespace {

constexpr int Runs = 5;
std::vector<double> checkTimes; // verifiebases's own share of the openings with the check

// Writes the file's pages to disk and drops them from the page cache.
void evict(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0 || ::fdatasync(fd) != 0 || ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) != 0)
        qFatal("cannot drop %s from the page cache", qPrintable(path));
    ::close(fd);
}

double opening(const QString& drive, bool check)
{
    QDir(drive + QStringLiteral("/MAJJAN2021")).removeRecursively();
    for (const QString& report : QDir(drive + QStringLiteral("/praxidome/MAJ")).entryList({QStringLiteral("*.pxd")}))
        QFile::remove(drive + QStringLiteral("/praxidome/MAJ/") + report);
    QuietUi ui;
    SystemClock clock;
    Form1Core f(ui, clock);
    f.settings.SafetyFolder = QStringLiteral("c:\\MAJJAN2021\\");
    f.settings.ReleaseNumber = QStringLiteral("8.6.8");
    f.window.lblnumerodemaj = QStringLiteral("38");
    bindAtLoad(f);
    const auto start = std::chrono::steady_clock::now();
    deploy::verifiemaj(f);
    if (check) {
        verifiebases(f);
        checkTimes.push_back(seconds(start));
    }
    creerrepertoire(f);
    voitsiouvert(f);
    f.settings.StationRole = readStationRole(f);
    cadastre(f);
    const double took = seconds(start);
    if (!ui.messages.isEmpty() || ui.ended)
        qFatal("the opening showed: %s", qPrintable(ui.messages.join(QStringLiteral(" | "))));
    return took;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::setlocale(LC_NUMERIC, "C");
    const int megabytes =
        qEnvironmentVariableIsSet("MAJ_BENCH_MB") ? qEnvironmentVariableIntValue("MAJ_BENCH_MB") : 1024;
    const qint64 bytes = qint64(megabytes) * 1024 * 1024;
    const struct
    {
        const char* name;
        QString fill;
    } layouts[] = {
        {"notes", QStringLiteral("CREATE TABLE notes (id INTEGER PRIMARY KEY, patient INTEGER, jour TEXT, texte TEXT);"
                                 "CREATE INDEX notes_patient ON notes (patient, jour);"
                                 // About 270 bytes a row with its index entry.
                                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                 "INSERT INTO notes (patient, jour, texte) SELECT abs(random()) % 300, "
                                 "date('2020-01-01', '+' || (i % 1500) || ' days'), hex(randomblob(100)) FROM n")
                      .arg(bytes / 270)},
        {"documents", QStringLiteral("CREATE TABLE documents (id INTEGER PRIMARY KEY, content BLOB);"
                                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                     "INSERT INTO documents (content) SELECT randomblob(1048576) FROM n")
                          .arg(megabytes)},
    };
    for (const auto& layout : layouts) {
        QTemporaryDir dir;
        sample::Options o;
        o.drive = dir.filePath(QStringLiteral("installed"));
        o.medium = dir.filePath(QStringLiteral("medium"));
        sample::layOut(o);
        const QString pat = o.drive + QStringLiteral("/praxidome/pat.mdb");
        {
            sql::Database db(pat, sql::ReadWrite);
            db.exec(QStringLiteral("BEGIN"));
            for (const QString& statement : layout.fill.split(QLatin1Char(';')))
                db.exec(statement);
            db.exec(QStringLiteral("COMMIT"));
        }
        std::printf("pat.mdb of %s: %lld MB\n", layout.name, QFileInfo(pat).size() / (1024 * 1024));
        qputenv("MAJ_DRIVE_C", o.drive.toUtf8());
        QDir::setCurrent(o.medium);

        for (const bool cold : {true, false}) {
            std::vector<double> without, with;
            checkTimes.clear();
            for (int run = 0; run < Runs; ++run) {
                for (const bool check : {run % 2 == 0, run % 2 != 0}) {
                    if (cold)
                        evict(pat);
                    (check ? with : without).push_back(opening(o.drive, check));
                }
            }
            std::printf("  %s: opening without the check, median of %d: %.3f s; with it: %.3f s (the check %.3f s); "
                        "ratio %.2f\n",
                        cold ? "out of the page cache" : "in the page cache", Runs, median(without), median(with),
                        median(checkTimes), median(with) / median(without));
        }
        QDir::setCurrent(QDir::tempPath());
    }
    return 0;
}
