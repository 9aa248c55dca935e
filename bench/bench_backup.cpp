// The backups of a run and putting them back, against the shell's tools on the same files.
//
// An installation whose pat.mdb holds about 1 GB (MAJ_BENCH_MB to change it) beside the other
// files of the backup set. Each side runs three times, in turn; the best times are compared:
//   the set saved as verstempo saves it (copy, SHA-256 of the bytes read, check of the copy's
//   SHA-256)   against   cp + sync + sha256sum of the same files;
//   the copy and check as they were before the SHA-256 (a byte comparison re-reading both files),
//   for the record;
//   the set put back (copies beside the originals, checked, renamed over them)   against
//   cp over the originals + sync.

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

bool sameBytes(const QString& first, const QString& second)
{
    QFile a(first), b(second);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size())
        return false;
    while (!a.atEnd()) {
        if (a.read(256 * 1024) != b.read(256 * 1024))
            return false;
    }
    return true;
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
    double ours = 1e9, tools = 1e9, before = 1e9, putBack = 1e9, cpBack = 1e9;
    std::vector<SavedFile> saved;
    for (int round = 0; round < 3; ++round) {
        const QString folder = QStringLiteral("c:\\MAJ%1").arg(round);
        QDir().mkpath(fs::hostPath(folder));
        auto start = std::chrono::steady_clock::now();
        saved.clear();
        for (const QString& windowsPath :
             {QStringLiteral("c:\\praxidome\\praxidome.exe"), QStringLiteral("c:\\praxidome\\aide\\aide.htm"),
              QStringLiteral("c:\\praxidome\\parametres.mdb"), QStringLiteral("c:\\praxidome\\pat.mdb"),
              QStringLiteral("c:\\praxidome\\pannexe.mdb"), QStringLiteral("c:\\praxidome\\eattest.mdb")})
            saved.push_back(deploy::saveFile(engine, windowsPath, folder, windowsPath.section('\\', -1)));
        ours = std::min(ours, seconds(start));

        const QString shell = drive.filePath(QStringLiteral("shell%1").arg(round));
        QDir().mkpath(shell);
        start = std::chrono::steady_clock::now();
        run("cp", originals(drive) + QStringList{shell});
        QStringList copies;
        for (const QString& name : kNames)
            copies << shell + "/" + name;
        run("sync", copies);
        run("sha256sum", originals(drive));
        tools = std::min(tools, seconds(start));
        if (fs::sha256(QStringLiteral("c:\\shell%1\\pat.mdb").arg(round)) != saved[3].sha256)
            qFatal("the copies differ");

        const QString old = drive.filePath(QStringLiteral("old%1").arg(round));
        QDir().mkpath(old);
        start = std::chrono::steady_clock::now();
        for (const QString& original : originals(drive)) {
            const QString copy = old + "/" + QFileInfo(original).fileName();
            fs::copyFile(fs::windowsPath(original), fs::windowsPath(copy));
            if (!sameBytes(original, copy))
                qFatal("the old check failed");
        }
        before = std::min(before, seconds(start));
        QDir(shell).removeRecursively();
        QDir(old).removeRecursively();

        start = std::chrono::steady_clock::now();
        if (const QString failure = deploy::putBack(engine, folder, saved); !failure.isEmpty())
            qFatal("%s", qPrintable(failure));
        putBack = std::min(putBack, seconds(start));
        start = std::chrono::steady_clock::now();
        QStringList backups;
        for (const QString& name : kNames)
            backups << fs::hostPath(folder) + "/" + name;
        for (int i = 0; i < kNames.size(); ++i)
            run("cp", {backups[i], originals(drive)[i]});
        run("sync", originals(drive));
        cpBack = std::min(cpBack, seconds(start));
        QDir(fs::hostPath(folder)).removeRecursively();
    }
    std::printf("backup set saved and checked (SHA-256):  %.2f s\n", ours);
    std::printf("cp + sync + sha256sum:                   %.2f s\n", tools);
    std::printf("copy + byte comparison (before):         %.2f s\n", before);
    std::printf("ratio saved / shell: %.2f (target at most 1.5); before / shell: %.2f\n", ours / tools, before / tools);
    std::printf("set put back:                            %.2f s\n", putBack);
    std::printf("cp over the originals + sync:            %.2f s\n", cpBack);
    std::printf("ratio put back / shell: %.2f (target at most 1.5)\n", putBack / cpBack);
    return 0;
}
