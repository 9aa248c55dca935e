#include "AppTestSupport.h"
#include "Form1.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace maj;

namespace {

// A client workstation's run through the window's accept button, the transfer control marked
// missing (no upload): the window shows the steps as they run, then the program ends.
TEST(AcceptButton, ClientRunShowsItsStepsThenEnds)
{
    test::TempDrive drive;
    test::installPractice(drive, true);
    test::RecordingUi ui;
    test::FixedClock clock;
    Form1 form(ui, clock);
    ASSERT_TRUE(form.showAndActivate()) << ui.messages.join(QLatin1Char('|')).toStdString();
    form.core().window.chkXP = true;
    form.core().window.notify();
    ASSERT_TRUE(form.findChild<QCheckBox*>("chkXP")->isChecked());

    struct Seen
    {
        bool stepShown = false, contractShown = true, acceptEnabled = true;
        QString step;
        int value = -1, maximum = -1;
    } seen;
    ui.onMessage = [&](const QString& text) {
        if (text != "Mise à jour effectuée!")
            return;
        seen.stepShown = form.findChild<QLabel*>("lbletape")->isVisible();
        seen.step = form.findChild<QLabel*>("lbletape")->text();
        seen.contractShown = form.findChild<QWidget*>("txtconvention")->isVisible();
        seen.acceptEnabled = form.findChild<QWidget*>("Command1")->isEnabled();
        const auto* bar = form.findChild<QProgressBar*>("pgbprogression");
        seen.value = bar->value();
        seen.maximum = bar->maximum();
    };
    form.findChild<QPushButton*>("Command1")->click();

    EXPECT_TRUE(ui.ended);
    EXPECT_TRUE(ui.messages.contains("Mise à jour effectuée!")) << ui.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(seen.stepShown);
    EXPECT_EQ(seen.step, "Mise à jour effectuée!");
    EXPECT_FALSE(seen.contractShown);
    EXPECT_FALSE(seen.acceptEnabled);
    EXPECT_GT(seen.maximum, 0);
    EXPECT_EQ(seen.value, seen.maximum);
    // The run saved the application's files into a time-stamped backup folder.
    EXPECT_FALSE(QDir(drive.host()).entryList({"MAJ2*"}, QDir::Dirs).isEmpty());
}

} // namespace
