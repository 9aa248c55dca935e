// The opening's check of a signed release against sha256sum of the same files.
//
// A payload folder of about 200 MB (MAJ_BENCH_MB to change it): eattest.mdb, praxidome.exe, the
// help page and two archives, listed by sha256sum --tag and signed by signify-openbsd with a key
// made for the run. Each side runs five times, in turn (the files in the page cache after the
// first); the medians and the fastest times are compared: the signature and every listed file checked
// (deploy::checkSignedRelease) against sha256sum of the files.

#include "BenchSupport.h"
#include "deploy/Release.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace maj;
using namespace maj::bench;

namespace {

void run(const QString& program, const QStringList& arguments, const QString& folder, const QString& output = {})
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setStandardOutputFile(output.isEmpty() ? QStringLiteral("/dev/null") : output);
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        qFatal("%s failed", qPrintable(program));
}

void writeRandom(const QString& path, qint64 megabytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (qint64 i = 0; i < megabytes; ++i) {
        for (char& c : block) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = char(x);
        }
        file.write(block);
    }
}

} // namespace

int main()
{
    const int megabytes =
        qEnvironmentVariableIsSet("MAJ_BENCH_MB") ? qEnvironmentVariableIntValue("MAJ_BENCH_MB") : 200;
    QTemporaryDir dir(QDir::currentPath() + "/bench-release-XXXXXX");
    qputenv("MAJ_DRIVE_C", dir.path().toUtf8());
    const QString medium = dir.filePath("medium");
    QDir().mkpath(medium);
    const QStringList names{"eattest.mdb", "praxidome.exe", "aide.htm", "MyCarenetProxy6.jar", "MyCarenetProxy2.jar"};
    const int exe = megabytes / 5;
    const int jar = megabytes / 20;
    writeRandom(medium + "/eattest.mdb", megabytes - exe - 2 * jar);
    writeRandom(medium + "/praxidome.exe", exe);
    writeRandom(medium + "/MyCarenetProxy6.jar", jar);
    writeRandom(medium + "/MyCarenetProxy2.jar", jar);
    QFile help(medium + "/aide.htm");
    help.open(QIODevice::WriteOnly);
    help.write("<html>aide</html>");
    help.close();

    run("signify-openbsd", {"-G", "-n", "-p", "maker.pub", "-s", "maker.sec"}, dir.path());
    run("sha256sum", QStringList{"--tag"} + names, medium, dir.filePath("SHA256"));
    run("signify-openbsd", {"-S", "-e", "-s", "maker.sec", "-m", "SHA256", "-x", "medium/SHA256.sig"}, dir.path());
    QFile pub(dir.filePath("maker.pub"));
    pub.open(QIODevice::ReadOnly);
    const std::vector<signify::PublicKey> keys{
        signify::publicKey(QStringLiteral("maker.pub"), pub.readAll().split('\n').value(1)).value()};

    std::printf("payload: %d MB in %lld files\n", megabytes, qlonglong(names.size()));
    compare(
        runs(),
        [&](int) {
            ReleaseCheck check;
            const double t = timed([&] { check = deploy::checkSignedRelease(QStringLiteral("c:\\medium\\"), keys); });
            if (!check.authenticated || check.files.size() != names.size())
                qFatal("the release was refused: %s", qPrintable(check.refusal));
            return t;
        },
        [&](int) { return timed([&] { run("sha256sum", names, medium); }); })
        .print("signature and files checked against sha256sum", 1.2);
    return 0;
}
