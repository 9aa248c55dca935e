#pragma once

#include <QString>
#include <QStringList>

// What emptying the work folder c:\praxidome\MAJ may delete.
namespace maj::deploy {

// The listed files of the work folder that emptying it deletes: all of them but, when the payload
// folder is the work folder, the release's files (letter case ignored), and never the program
// being run (`programHostPath`, QCoreApplication::applicationFilePath()).
QStringList workFilesToDelete(const QStringList& listed, const QString& mediaKind, const QString& programHostPath);

} // namespace maj::deploy
