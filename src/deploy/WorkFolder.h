#pragma once

#include <QString>
#include <QStringList>

// What emptying the work folder c:\praxidome\MAJ may delete.
namespace maj::deploy {

// The files a release brings in its payload folder for the steps of this library: the executable,
// the tariff code database, the help page and the support files.
const QStringList& releaseFileNames();

// Whether the release's files are taken from the work folder: a media kind other than "CD", or
// the program started from that folder (host paths compared, so letter case and links agree).
bool payloadIsWorkFolder(const QString& mediaKind);

// The listed files of the work folder that emptying it deletes: all of them but, when the payload
// folder is the work folder, the release's files (letter case ignored), and never the program
// being run (`programHostPath`, QCoreApplication::applicationFilePath()).
QStringList workFilesToDelete(const QStringList& listed, const QString& mediaKind, const QString& programHostPath);

} // namespace maj::deploy
