#include "AppTestSupport.h"
#include "Form1.h"
#include "Opening.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace maj;

namespace {

QString run(const QString& program, const QStringList& arguments, int* exitCode = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    const bool finished = process.waitForFinished(30000);
    if (exitCode)
        *exitCode = finished ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput());
}

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
    void print() { form.findChild<QPushButton*>(QStringLiteral("btnimprimer"))->click(); }
};

// Through the system's real default printer, when it is a PDF queue (no paper is spent).
TEST(PrintButton, RealDefaultPrinterReceivesTheContract)
{
    int status = 0;
    const QString defaultLine = run(QStringLiteral("lpstat"), {QStringLiteral("-d")}, &status);
    const auto name = QRegularExpression(QStringLiteral("destination: (\\S+)")).match(defaultLine);
    if (status != 0 || !name.hasMatch())
        GTEST_SKIP() << "no default CUPS printer (scripts/printer-setup makes one)";
    const QString device = run(QStringLiteral("lpstat"), {QStringLiteral("-v"), name.captured(1)});
    if (!device.contains(QStringLiteral("cups-pdf:")))
        GTEST_SKIP() << "the default printer " << name.captured(1).toStdString() << " prints on paper; not used";
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";

    const QDir output(QDir::home().filePath(QStringLiteral("PDF")));
    const QDateTime start = QDateTime::currentDateTime().addSecs(-1);
    Window w;
    w.form.core().window.txtconvention +=
        QStringLiteral("\r\n\r\nESSAI D'IMPRESSION %1").arg(QCoreApplication::applicationPid());
    w.print();
    EXPECT_FALSE(w.ui.ended);
    EXPECT_TRUE(w.ui.messages.isEmpty()) << w.ui.messages.join(QLatin1Char('|')).toStdString();

    // cups-pdf writes the job under the owner's ~/PDF, named after the job.
    QString printed;
    test::waitUntil(
        [&] {
            for (const QFileInfo& file : output.entryInfoList({QStringLiteral("*.pdf")}, QDir::Files)) {
                if (file.lastModified() < start)
                    continue;
                const QString text = run(QStringLiteral("pdftotext"), {file.filePath(), QStringLiteral("-")});
                if (text.contains(QStringLiteral("ESSAI D'IMPRESSION %1").arg(QCoreApplication::applicationPid()))) {
                    printed = text;
                    QFile::remove(file.filePath());
                    return true;
                }
            }
            return false;
        },
        30000);
    ASSERT_FALSE(printed.isEmpty()) << "no printout in " << output.path().toStdString();
    EXPECT_TRUE(printed.contains(QStringLiteral("CONTRAT DE MAINTENANCE")));
    EXPECT_TRUE(printed.contains(QStringLiteral("Article 7: Compétence")));
}

} // namespace
