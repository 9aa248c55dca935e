#include "platform/widgets/Printing.h"

#include "platform/MajError.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace maj::printing {

void printText(QPrinter& printer, const QString& text)
{
    // The old program set one further printer property to 2; here it is the orientation: landscape
    // suits the contract's long lines.
    printer.setPageOrientation(QPageLayout::Landscape);

    QPainter painter;
    if (!painter.begin(&printer))
        throw MajError(err::PrinterError, QStringLiteral("L'imprimante n'a pu commencer l'impression"));

    QTextDocument document;
    // Fonts and lines are measured at the printer's resolution, not the screen's.
    document.documentLayout()->setPaintDevice(&printer);
    QFont font;
    font.setPointSize(fontPointSize);
    document.setDefaultFont(font);
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);
    document.setDocumentMargin(0);

    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // The text is printed as one item followed by a line end.
    document.setPlainText(lines + QLatin1Char('\n'));

    const QSizeF page(printer.width(), printer.height());
    // The layout moves a line that would cross a page break onto the next page; each page then gets
    // its own lines only (a clip alone would leave the neighbours' text in the page's content).
    document.setPageSize(page);
    document.documentLayout()->documentSize(); // lays the whole document out
    const int pages = qMax(1, document.pageCount());
    QList<QList<std::pair<QTextLayout*, int>>> linesOfPage(pages);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextLayout* layout = block.layout();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const double top = layout->position().y() + layout->lineAt(i).y();
            const int index = qBound(0, int(top / page.height()), pages - 1);
            linesOfPage[index].append({layout, i});
        }
    }
    painter.setPen(Qt::black);
    for (int index = 0; index < pages; ++index) {
        if (index > 0 && !printer.newPage())
            throw MajError(err::PrinterError, QStringLiteral("L'imprimante n'a pu passer à la page suivante"));
        for (const auto& [layout, i] : std::as_const(linesOfPage[index]))
            layout->lineAt(i).draw(&painter, layout->position() - QPointF(0, page.height() * index));
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw MajError(err::PrinterError, QStringLiteral("L'impression n'a pu être envoyée à l'imprimante"));
}

void printOnDefaultPrinter(const QString& text, const QString& documentName)
{
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (printer.isNull())
        throw MajError(err::PrinterError, QStringLiteral("Aucune imprimante n'est installée"));
    QPrinter device(printer, QPrinter::HighResolution);
    if (!device.isValid())
        throw MajError(err::PrinterError,
                       QStringLiteral("L'imprimante %1 n'est pas disponible").arg(printer.printerName()));
    device.setDocName(documentName);
    printText(device, text);
}

} // namespace maj::printing
