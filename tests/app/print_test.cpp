#include "AppTestSupport.h"
#include "platform/widgets/Printing.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace maj;

namespace {

// Through the system's real default printer, when it is a cups-pdf queue (no paper is spent).
TEST(PrintButton, RealDefaultPrinterReceivesTheContract)
{
    const auto name = QRegularExpression("destination: (\\S+)").match(test::runProgram("lpstat", {"-d"}));
    if (!name.hasMatch())
        GTEST_SKIP() << "no default CUPS printer (scripts/printer-setup makes one)";
    const QString device = test::runProgram("lpstat", {"-v", name.captured(1)});
    if (!device.contains("cups-pdf:"))
        GTEST_SKIP() << "the default printer " << name.captured(1).toStdString() << " prints on paper; not used";
    if (QStandardPaths::findExecutable("pdfinfo").isEmpty())
        GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";

    const QDir output(QDir::home().filePath("PDF"));
    const QDateTime start = QDateTime::currentDateTime().addSecs(-1);
    test::OpenedWindow w;
    ASSERT_TRUE(w.open());
    QString& contract = w.form->core().window.txtconvention;
    for (int i = 1; i <= 80; ++i) // several pages
        contract += QStringLiteral("\r\n  ESSAI D'IMPRESSION, ligne %1").arg(i);
    w.form->core().window.notify();
    w.click("btnimprimer");
    EXPECT_FALSE(w.ui.ended);
    EXPECT_TRUE(w.ui.messages.isEmpty()) << w.ui.messages.join('|').toStdString();

    // The same text through the same code into a PDF file: the page count the printer must receive.
    QTemporaryDir dir;
    QPrinter file(QPrinter::HighResolution);
    file.setOutputFormat(QPrinter::PdfFormat);
    file.setOutputFileName(dir.filePath("contrat.pdf"));
    printing::printText(file, contract);
    const int expectedPages = test::pdfPages(dir.filePath("contrat.pdf"));
    ASSERT_GE(expectedPages, 2);

    // cups-pdf writes the job under the owner's ~/PDF, named after the job. Its chain turns the fonts
    // into drawings, so the printout's text cannot be read back: its pages are compared instead.
    QString printout;
    const bool arrived = QTest::qWaitFor(
        [&] {
            for (const QFileInfo& f : output.entryInfoList({"Contrat_de_maintenance*.pdf"}, QDir::Files)) {
                if (f.lastModified() >= start && test::pdfPages(f.filePath()) > 0) {
                    printout = f.filePath();
                    return true;
                }
            }
            return false;
        },
        30000);
    ASSERT_TRUE(arrived) << "no printout in " << output.path().toStdString();
    EXPECT_EQ(test::pdfPages(printout), expectedPages);
    QFile::remove(printout);
}

} // namespace
