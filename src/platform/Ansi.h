#pragma once

#include <QByteArray>
#include <QString>

namespace maj {

// The text in the ANSI code page of a Western European system (Windows-1252). A character that
// code page cannot hold becomes "?", as the old platform's conversion wrote it.
QByteArray toAnsi(const QString& text);
// The text of Windows-1252 bytes; a byte the code page leaves undefined reads as U+FFFD.
QString fromAnsi(const QByteArray& bytes);

} // namespace maj
