#include "deploy/WorkFolder.h"

#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "run/Installation.h"

#include <QFileInfo>

namespace maj::deploy {

namespace {

// The same folder or file whatever the spelling: empty when it cannot be resolved.
QString canonicalOfWindowsPath(const QString& windowsPath)
{
    try {
        return QFileInfo(fs::hostPath(windowsPath)).canonicalFilePath();
    } catch (const MajError&) {
        return {}; // a path that cannot be mapped names no folder: the program is not in it
    }
}

// The files a release brings in its payload folder for the steps of this library: the executable,
// the tariff code database, the help page and the support files.
const QStringList& releaseFileNames()
{
    static const QStringList names{
        Installation::programName(),
        QStringLiteral("eattest.mdb"),
        QStringLiteral("aide.htm"),
        QStringLiteral("MyCarenetProxy6.jar"),
        QStringLiteral("MyCarenetProxy2.jar"),
        QStringLiteral("truststore.jks"),
        QStringLiteral("caCertificateKeystore.jks"),
        QStringLiteral("tsacertificate.jks"),
        QStringLiteral("DPSI_P1.jpg"),
        QStringLiteral("DPSI_P2.jpg"),
        QStringLiteral("Praxidome_ Assistance.lnk"),
    };
    return names;
}

// Whether the release's files are taken from the work folder: a media kind other than "CD", or
// the program started from that folder (host paths compared, so letter case and links agree).
bool payloadIsWorkFolder(const QString& mediaKind)
{
    if (mediaKind != QLatin1String("CD"))
        return true;
    const QString work = canonicalOfWindowsPath(Installation::workFolder());
    return !work.isEmpty() && work == canonicalOfWindowsPath(fs::currentFolder());
}

} // namespace

QStringList workFilesToDelete(const QStringList& listed, const QString& mediaKind, const QString& programHostPath)
{
    const bool holdsRelease = payloadIsWorkFolder(mediaKind);
    const QString program = QFileInfo(programHostPath).canonicalFilePath();
    QStringList deleted;
    for (const QString& name : listed) {
        if (holdsRelease && releaseFileNames().contains(name, Qt::CaseInsensitive))
            continue;
        if (!program.isEmpty() && canonicalOfWindowsPath(Installation::inWorkFolder(name)) == program)
            continue;
        deleted.append(name);
    }
    return deleted;
}

} // namespace maj::deploy
