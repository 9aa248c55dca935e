#pragma once

#include <QString>

class QPrinter;

// Printing a block of text, as the old platform's printer object did: the program gives the text
// with its line breaks; wrapping, margins and paging are this layer's work.
namespace maj::printing {

// Text size of a printout, in points; the face is the default one.
constexpr int fontPointSize = 8;

// Prints `text` on `printer` as one document: lines broken at CR LF (or LF), lines wider than the
// page wrapped at word boundaries, further pages as needed, landscape orientation. Throws MajError
// 482 when the printer cannot be opened or reports an error.
void printText(QPrinter& printer, const QString& text);

// Prints `text` on the system's default printer, the job named `documentName`; 482 when the system
// has none, or when the printer is not available.
void printOnDefaultPrinter(const QString& text, const QString& documentName = QStringLiteral("Mise à jour"));

} // namespace maj::printing
