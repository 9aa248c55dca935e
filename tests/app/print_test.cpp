#include "AppTestSupport.h"
#include "app/Form1.h"
#include "app/Opening.h"
#include "platform/widgets/Printing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace maj;

namespace {

struct Window
{
    test::TempDrive drive;
    test::RecordingUi ui;
    test::FixedClock clock;
    Form1 form{ui, clock};

    Window()
    {
        setRunSettings(form.core());
        convention(form.core());
        form.show();
    }
    void print() { form.findChild<QPushButton*>("btnimprimer")->click(); }
};

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
    Window w;
    // Long enough for several pages.
    for (int i = 1; i <= 80; ++i)
        w.form.core().window.txtconvention += QStringLiteral("\r\n  ESSAI D'IMPRESSION, ligne %1").arg(i);
    w.print();
    EXPECT_FALSE(w.ui.ended);
    EXPECT_TRUE(w.ui.messages.isEmpty()) << w.ui.messages.join(QLatin1Char('|')).toStdString();

    // The same text through the same code into a PDF file: the page count the printer must receive.
    QTemporaryDir dir;
    QPrinter file(QPrinter::HighResolution);
    file.setOutputFormat(QPrinter::PdfFormat);
    file.setOutputFileName(dir.filePath("contrat.pdf"));
    printing::printText(file, w.form.core().window.txtconvention);
    const int expectedPages = test::pdfPages(dir.filePath("contrat.pdf"));
    ASSERT_GE(expectedPages, 2);

    // cups-pdf writes the job under the owner's ~/PDF, named after the job. Its chain turns the fonts
    // into drawings, so the printout's text cannot be read back: its pages are compared instead.
    QString printout;
    const bool arrived = test::waitUntil(
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
