#pragma once

#include <QStringList>

class QTextStream;

namespace maj {

// The program's options (the window needs none): --preview [--json], --list-backups,
// --restore [FOLDER] [--force], --help, --version. Qt Core only, no display. Writes to `out` and, in French, the
// reasons of a refusal or a failure to `err`; returns the exit status (the README's table).
int runCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace maj
