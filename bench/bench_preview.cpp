// The preview against the merge steps of a run.
//
// A sample server installation whose code table holds 100,000 codes, and a release medium that
// lists them all (20% with new prices or texts) plus 3,000 new ones. Taken in turn, five times
// each, their medians and fastest times compared:
//   the merge steps of a run (copienomen, assignationdesbases, nouv, anciens), on a fresh copy of
//   the installation   against   the preview of the same installation (its snapshot, the steps on
//   it, the registration, the duplicate check, the census and the comparison of the code table).
// The bench checks that the preview lists as added and changed the rows the run adds and changes.

#include "BenchSupport.h"
#include "Sample.h"
#include "db/DbSteps.h"
#include "deploy/Deploy.h"
#include "nomenclature/Nomenclature.h"
#include "platform/FileSystem.h"
#include "platform/Ui.h"
#include "preview/Preview.h"
#include "run/Form1Core.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <clocale>
#include <cstdio>

using namespace maj;
using namespace maj::bench;

namespace {

constexpr int Codes = 100000;

// The release's settings, as the window's opening sets those the steps read.
void releaseSettings(Form1Core& f)
{
    f.settings.LanguageCode = QStringLiteral("NL");
    f.settings.MediaKind = QStringLiteral("CD");
    f.settings.ReleaseDate = QStringLiteral("01/01/2021");
    f.settings.ReleaseNumber = QStringLiteral("8.6.8");
    f.window.lbldate = f.settings.ReleaseDate;
    f.window.lblnumerodemaj = QStringLiteral("38");
}

qint64 count(const QString& path, const QString& query)
{
    return sql::scalar(path, query).toLongLong();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::setlocale(LC_NUMERIC, "C");
    QTemporaryDir dir;
    sample::Options o;
    o.drive = dir.filePath(QStringLiteral("installed"));
    o.medium = dir.filePath(QStringLiteral("medium"));
    o.codes = Codes;
    o.newCodes = 3000;
    o.sharedPercent = 100;
    o.patients = 300;
    o.treatments = 4000;
    sample::layOut(o);
    QDir::setCurrent(o.medium);
    const QString installedPat = o.drive + QStringLiteral("/praxidome/pat.mdb");
    std::printf("code table %lld codes, release %lld codes\n",
                count(installedPat, QStringLiteral("SELECT count(*) FROM nomenclature")),
                count(o.medium + QStringLiteral("/eattest.mdb"), QStringLiteral("SELECT count(*) FROM nomen")));

    qint64 runAdded = 0;
    qint64 runChanged = 0;
    preview::Result result;
    const auto mergeSide = [&](int run) {
        // The run's merge steps on a copy of the installation.
        const QString copy = dir.filePath(QStringLiteral("run%1").arg(run));
        if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), o.drive, copy}) != 0)
            qFatal("cannot copy the installation");
        double t = 0;
        {
            qputenv("MAJ_DRIVE_C", copy.toUtf8());
            QuietUi ui;
            SystemClock clock;
            Form1Core f(ui, clock);
            releaseSettings(f);
            f.settings.PayloadFolder = fs::currentFolder() + QLatin1Char('\\');
            t = timed([&] {
                for (void (*step)(Form1Core&) : {copienomen, assignationdesbases, nouv, anciens})
                    step(f);
                f.data.Data1.release();
                f.data.Data2.release();
                f.data.Data3.release();
            });
            if (!ui.messages.isEmpty())
                std::printf("  the steps showed: %s\n", qPrintable(ui.messages.join(QStringLiteral(" | "))));
        }
        if (run == 0) {
            const QString pat = copy + QStringLiteral("/praxidome/pat.mdb");
            runAdded = count(pat, QStringLiteral("SELECT count(*) FROM nomenclature")) -
                       count(installedPat, QStringLiteral("SELECT count(*) FROM nomenclature"));
            sql::Database db(pat, sql::ReadOnly);
            db.exec(QStringLiteral("ATTACH DATABASE '%1' AS b").arg(installedPat));
            QStringList differs;
            sql::Statement names = db.prepare(QStringLiteral("PRAGMA main.table_info(nomenclature)"));
            while (names.step())
                differs << QStringLiteral("a.\"%1\" IS NOT o.\"%1\"").arg(names.column(1).toString());
            sql::Statement changed =
                db.prepare(QStringLiteral("SELECT count(*) FROM nomenclature AS a JOIN b.nomenclature AS o ON o.rowid "
                                          "= a.rowid WHERE ") +
                           differs.join(QStringLiteral(" OR ")));
            changed.step();
            runChanged = changed.column(0).toLongLong();
        }
        QDir(copy).removeRecursively();
        return t;
    };
    // The preview of the installation itself.
    const auto previewSide = [&](int) {
        qputenv("MAJ_DRIVE_C", o.drive.toUtf8());
        SystemClock clock;
        return timed([&] { result = preview::makePreview(clock, releaseSettings); });
    };
    compare(runs(), previewSide, mergeSide).print("preview against the merge steps", 1.5);
    const bool same = result.codes.added.size() == runAdded && result.codes.changed.size() == runChanged;
    std::printf("preview: %lld added, %lld changed, %lld unchanged, %lld duplicates; the run: %lld added, %lld "
                "changed; same counts: %s\n",
                qlonglong(result.codes.added.size()), qlonglong(result.codes.changed.size()), result.codes.unchanged,
                qlonglong(result.duplicates.size()), runAdded, runChanged, same ? "yes" : "NO");
    return same ? 0 : 1;
}
