#include "Printing.h"
#include "TestSupport.h"

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

TEST_F(Printing, LinesBrokenAtCrLfOnALandscapePage)
{
    const QStringList lines = {
        "  CONTRAT DE MAINTENANCE",
        "  Ci dessous dénommé 'le vendeur'.",
        QStringLiteral(
            "  Cette formation sera facturée à l'utilisateur au tarif horaire de 67 EUR  + TVA soit 81,07 EUR."),
        "VOUS TROUVEREZ CI-DESSOUS LES INFORMATIONS COLLECTEES À LA SUITE DE CETTE MISE A JOUR",
    };
    PdfPrintout pdf;
    pdf.print(lines.join("\r\n"));
    EXPECT_EQ(pdf.pages(), 1);
    const QSizeF page = pdf.pageSize();
    EXPECT_GT(page.width(), page.height()) << "landscape";

    QStringList printed;
    for (const QString& line : pdf.text().split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty())
            printed.append(words(line).join(QLatin1Char(' ')));
    QStringList expected;
    for (const QString& line : lines)
        expected.append(words(line).join(QLatin1Char(' ')));
    EXPECT_EQ(printed.join(QLatin1Char('|')).toStdString(), expected.join(QLatin1Char('|')).toStdString());
}

TEST_F(Printing, LongLinesWrapAndLongTextRunsOntoFurtherPages)
{
    QStringList lines;
    for (int i = 1; i <= 150; ++i)
        lines.append(QStringLiteral("  ligne %1 du contrat").arg(i));
    QStringList longLine;
    for (int i = 1; i <= 120; ++i)
        longLine.append(QStringLiteral("mot%1").arg(i));
    lines.insert(10, QStringLiteral("  ") + longLine.join(QLatin1Char(' ')));
    PdfPrintout pdf;
    pdf.print(lines.join("\r\n"));

    EXPECT_GE(pdf.pages(), 2);
    const QString text = pdf.text();
    // Nothing lost or reordered, across the wrap and the page breaks.
    EXPECT_EQ(words(text).join(QLatin1Char(' ')).toStdString(),
              words(lines.join(QLatin1Char(' '))).join(QLatin1Char(' ')).toStdString());
    // The long line takes several printed lines: its first and last words are on different lines.
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QStringList w = words(line);
        if (w.contains("mot1")) {
            EXPECT_FALSE(w.contains("mot120"));
        }
    }
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
