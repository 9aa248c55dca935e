#include "TestSupport.h"
#include "platform/widgets/Printing.h"

#include <QPrinter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace maj;

namespace {

QStringList words(const QString& text)
{
    return text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
}

struct PdfPrintout
{
    QTemporaryDir dir;
    QString path = dir.filePath("printout.pdf");

    void print(const QString& text)
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printing::printText(printer, text);
    }
    QString text() const { return test::runProgram("pdftotext", {"-enc", "UTF-8", path, "-"}); }
    int pages() const { return test::pdfPages(path); }
    QSizeF pageSize() const
    {
        const auto match =
            QRegularExpression("Page size:\\s+([\\d.]+) x ([\\d.]+) pts").match(test::runProgram("pdfinfo", {path}));
        return match.hasMatch() ? QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble()) : QSizeF();
    }
};

class Printing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty() ||
            QStandardPaths::findExecutable("pdfinfo").isEmpty())
            GTEST_SKIP() << "poppler-utils (pdftotext, pdfinfo) is not installed: scripts/setup installs it";
    }
};

// Each line of the text (CR LF apart) on printed lines of its own, on landscape pages; a long line
// wraps, a long text runs onto further pages, and nothing is lost or reordered.
TEST_F(Printing, LinesOnLandscapePagesWrapAndRunOn)
{
    QStringList lines;
    for (int i = 1; i <= 150; ++i)
        lines.append(QStringLiteral("  ligne %1 facturée à l'utilisateur").arg(i));
    QStringList longLine;
    for (int i = 1; i <= 120; ++i)
        longLine.append(QStringLiteral("mot%1").arg(i));
    lines.insert(10, "  " + longLine.join(' '));
    PdfPrintout pdf;
    pdf.print(lines.join("\r\n"));

    EXPECT_GE(pdf.pages(), 2);
    EXPECT_GT(pdf.pageSize().width(), pdf.pageSize().height()) << "landscape";
    const QString text = pdf.text();
    EXPECT_EQ(words(text).join(' ').toStdString(), words(lines.join(' ')).join(' ').toStdString());
    QStringList printed;
    for (const QString& line : text.split('\n')) {
        const QStringList w = words(line);
        if (w.contains("ligne"))
            printed.append(w.join(' '));
        if (w.contains("mot1")) {
            EXPECT_FALSE(w.contains("mot120")) << "the long line wraps";
        }
    }
    lines.removeAt(10); // the long line
    for (QString& line : lines)
        line = line.trimmed();
    EXPECT_EQ(printed, lines);
}

TEST_F(Printing, EightPointText)
{
    PdfPrintout pdf;
    pdf.print("  Hauteur du texte imprimé");
    const QString boxes = test::runProgram("pdftotext", {"-bbox", pdf.path, "-"});
    const auto match =
        QRegularExpression("yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" yMax=\"([\\d.]+)\">Hauteur").match(boxes);
    ASSERT_TRUE(match.hasMatch()) << boxes.toStdString();
    const double height = match.captured(2).toDouble() - match.captured(1).toDouble();
    // A word's box is about 1.2 times its size in points.
    EXPECT_GT(height, 7.0);
    EXPECT_LT(height, 11.0);
}

} // namespace
