// The backups of a run and putting them back, against the shell's tools on the same files.
//
// An installation whose pat.mdb holds about 1 GB (MAJ_BENCH_MB to change it) beside the other
// files of the backup set. Each side runs five times, in turn; the medians and the fastest times
// are compared:
//   the set saved as verstempo saves it (copy, SHA-256 of the bytes read, check of the copy's
//   SHA-256)   against   cp + sync + sha256sum of the same files;
//   the set put back (copies beside the originals, checked, renamed over them)   against
//   cp over the originals + sync.
// Each side removes what its turn wrote before the next turn, so that both write into memory the
// machine has used already (a virtual machine pays heavily for pages it touches the first time);
// the first saved set stays, and every turn of the put-back puts it back.

#include "BenchSupport.h"
#include "deploy/BackupSet.h"
#include "platform/FileSystem.h"
#include "platform/jet/Database.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace maj;
using namespace maj::bench;

namespace {

const QStringList kNames{"praxidome.exe", "aide.htm", "parametres.mdb", "pat.mdb", "pannexe.mdb", "eattest.mdb"};

void makeInstallation(const QDir& drive, int megabytes)
{
    QDir().mkpath(drive.filePath("praxidome"));
    for (const char* name : {"parametres", "pannexe", "eattest", "pat"})
        createFromSchema(drive.filePath(QStringLiteral("praxidome/%1.mdb").arg(QLatin1String(name))), name);
    sql::Database db(drive.filePath("praxidome/pat.mdb"), sql::ReadWrite);
    db.exec("CREATE TABLE documents (id INTEGER PRIMARY KEY, content BLOB)");
    db.exec("BEGIN");
    for (int i = 0; i < megabytes; ++i)
        db.exec(QStringLiteral("INSERT INTO documents (content) VALUES (randomblob(1048576))"));
    db.exec("COMMIT");
    QFile exe(drive.filePath("praxidome/praxidome.exe"));
    exe.open(QIODevice::WriteOnly);
    exe.write(QByteArray(20 * 1024 * 1024, 'M'));
    QFile help(drive.filePath("praxidome/aide.htm"));
    help.open(QIODevice::WriteOnly);
    help.write("<html>aide</html>");
}

QStringList originals(const QDir& drive)
{
    QStringList paths;
    for (const QString& name : kNames)
        paths << drive.filePath(name.endsWith(".htm") ? "praxidome/aide/" + name : "praxidome/" + name);
    return paths;
}

void run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        qFatal("%s failed", qPrintable(program));
}

} // namespace

int main()
{
    const int megabytes =
        qEnvironmentVariableIsSet("MAJ_BENCH_MB") ? qEnvironmentVariableIntValue("MAJ_BENCH_MB") : 1024;
    QTemporaryDir dir(QDir::currentPath() + "/bench-backup-XXXXXX");
    const QDir drive(dir.path());
    qputenv("MAJ_DRIVE_C", dir.path().toUtf8());
    QDir().mkpath(drive.filePath("praxidome/aide"));
    makeInstallation(drive, megabytes);
    QFile::rename(drive.filePath("praxidome/aide.htm"), drive.filePath("praxidome/aide/aide.htm"));
    std::printf("pat.mdb: %lld MB\n", QFileInfo(drive.filePath("praxidome/pat.mdb")).size() >> 20);

    Engine engine;
    const int count = runs();
    std::vector<SavedFile> kept;
    const auto folder = [](int run) { return QStringLiteral("c:\\MAJ%1").arg(run); };
    const Comparison save = compare(
        count,
        [&](int turn) {
            QDir().mkpath(fs::hostPath(folder(turn)));
            std::vector<SavedFile> saved;
            const double t = timed([&] {
                for (const QString& windowsPath :
                     {QStringLiteral("c:\\praxidome\\praxidome.exe"), QStringLiteral("c:\\praxidome\\aide\\aide.htm"),
                      QStringLiteral("c:\\praxidome\\parametres.mdb"), QStringLiteral("c:\\praxidome\\pat.mdb"),
                      QStringLiteral("c:\\praxidome\\pannexe.mdb"), QStringLiteral("c:\\praxidome\\eattest.mdb")})
                    saved.push_back(deploy::saveFile(engine, windowsPath, folder(turn), windowsPath.section('\\', -1)));
            });
            if (turn == 0)
                kept = std::move(saved);
            else
                QDir(fs::hostPath(folder(turn))).removeRecursively();
            return t;
        },
        [&](int turn) {
            const QString shell = drive.filePath(QStringLiteral("shell%1").arg(turn));
            QDir().mkpath(shell);
            QStringList copies;
            for (const QString& name : kNames)
                copies << shell + "/" + name;
            const double t = timed([&] {
                run("cp", originals(drive) + QStringList{shell});
                run("sync", copies);
                run("sha256sum", originals(drive));
            });
            QDir(shell).removeRecursively();
            return t;
        });
    const Comparison putBack = compare(
        count,
        [&](int) {
            return timed([&] {
                if (const QString failure = deploy::putBack(engine, folder(0), kept); !failure.isEmpty())
                    qFatal("%s", qPrintable(failure));
            });
        },
        [&](int) {
            QStringList backups;
            for (const QString& name : kNames)
                backups << fs::hostPath(folder(0)) + "/" + name;
            return timed([&] {
                for (int i = 0; i < kNames.size(); ++i)
                    run("cp", {backups[i], originals(drive)[i]});
                run("sync", originals(drive));
            });
        });
    QDir(fs::hostPath(folder(0))).removeRecursively();
    save.print("backup set saved and checked (SHA-256) against cp + sync + sha256sum", 1.5);
    putBack.print("backup set put back against cp over the originals + sync", 1.5);
    return 0;
}
