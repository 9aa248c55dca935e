#pragma once

#include <QStringList>

class QTextStream;

namespace maj {

// Whether the arguments are the window's: none, or none of the program's options and a first one
// with a single dash (Qt's own, "-platform offscreen"), which QApplication takes; it leaves the rest.
bool isForTheWindow(const QStringList& arguments);
// The program's options (the window needs none): --preview [--json], --list-backups,
// --restore [FOLDER] [--force], -h/--help, -v/--version, in any order. Qt Core only, no display. Writes to `out` and,
// in French, the reasons of a refusal or a failure to `err`; a line it does not understand is told with the usage
// (64). Returns the exit status (the README's table).
int runCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace maj
