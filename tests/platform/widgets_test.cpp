#include "TestSupport.h"
#include "platform/widgets/Printing.h"
#include "platform/widgets/QtUiServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPrinter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

#include <gtest/gtest.h>

using namespace maj;

namespace {

// Each line of the text (CR LF apart) on printed lines of its own, in 8-point type on landscape
// pages; a long line wraps, a long text runs onto further pages, and nothing is lost or reordered.
// The text printed to a PDF file, read back with poppler-utils.
TEST(Printing, LinesOnLandscapePagesWrapAndRunOn)
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty() || QStandardPaths::findExecutable("pdfinfo").isEmpty())
        GTEST_SKIP() << "poppler-utils (pdftotext, pdfinfo) is not installed: scripts/setup installs it";
    QTemporaryDir dir;
    const QString path = dir.filePath("printout.pdf");
    const auto words = [](const QString& text) { return text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts); };
    QStringList lines;
    for (int i = 1; i <= 150; ++i)
        lines.append(QStringLiteral("  ligne %1 facturée à l'utilisateur").arg(i));
    QStringList longLine;
    for (int i = 1; i <= 120; ++i)
        longLine.append(QStringLiteral("mot%1").arg(i));
    lines.insert(10, "  " + longLine.join(' '));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printing::printText(printer, lines.join("\r\n"));

    EXPECT_GE(test::pdfPages(path), 2);
    const auto size =
        QRegularExpression("Page size:\\s+([\\d.]+) x ([\\d.]+) pts").match(test::runProgram("pdfinfo", {path}));
    EXPECT_GT(size.captured(1).toDouble(), size.captured(2).toDouble()) << "landscape";
    // A word's box is about 1.2 times its size in points.
    const auto box = QRegularExpression("yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" yMax=\"([\\d.]+)\">ligne<")
                         .match(test::runProgram("pdftotext", {"-bbox", path, "-"}));
    EXPECT_GT(box.captured(2).toDouble() - box.captured(1).toDouble(), 7.0);
    EXPECT_LT(box.captured(2).toDouble() - box.captured(1).toDouble(), 11.0);
    const QString text = test::runProgram("pdftotext", {"-enc", "UTF-8", path, "-"});
    EXPECT_EQ(words(text).join(' ').toStdString(), words(lines.join(' ')).join(' ').toStdString());
    QStringList printed;
    for (const QString& line : text.split('\n')) {
        const QStringList w = words(line);
        if (w.contains("ligne"))
            printed.append(w.join(' '));
        EXPECT_FALSE(w.contains("mot1") && w.contains("mot120")) << "the long line wraps";
    }
    lines.removeAt(10); // the long line
    for (QString& line : lines)
        line = line.trimmed();
    EXPECT_EQ(printed, lines);
}

// The busy cursor is a state, not a stack. A wait sleeps in the event loop rather than returning at
// once (nothing else wakes a test process), and an event wakes it before the end of the wait. A
// message box has no icon and only OK.
TEST(QtUiServices, CursorWaitsAndMessageBoxes)
{
    QtUiServices ui;
    ui.setBusyCursor(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui.setBusyCursor(true);
    ui.setBusyCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    ui.processEvents();
    QElapsedTimer elapsed;
    elapsed.start();
    ui.waitForEvents(200);
    EXPECT_GE(elapsed.elapsed(), 50);

    bool fired = false;
    QTimer::singleShot(20, [&fired] { fired = true; });
    elapsed.restart();
    while (!fired && elapsed.elapsed() < 20000)
        ui.waitForEvents(20000);
    EXPECT_TRUE(fired);
    EXPECT_LT(elapsed.elapsed(), 10000) << "woken by the event, not by the end of the wait";

    QStringList seen; // title, text, icon and button count of each box
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen.append(QStringLiteral("%1|%2|%3|%4")
                            .arg(box->windowTitle(), box->text())
                            .arg(box->icon())
                            .arg(box->buttons().size()));
            box->button(QMessageBox::Ok)->click();
        }
    });
    poll.start(10);
    ui.message("Mise à jour effectuée!");
    ui.message("Vérification terminée !", "Doublons");
    EXPECT_EQ(seen, QStringList({"Mise à jour|Mise à jour effectuée!|0|1", "Doublons|Vérification terminée !|0|1"}));
}

} // namespace
