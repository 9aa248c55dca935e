#include "AppTestSupport.h"
#include "app/Form1.h"
#include "app/Opening.h"

#include <QPrinterInfo>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace maj;

namespace {

// Without a reachable print system there is no default printer: the program shows the error and ends.
TEST(PrintButton, NoPrinterShowsTheErrorThenEndsTheProgram)
{
    // Before anything in this process asks the print system: a scheduler that does not exist.
    qputenv("CUPS_SERVER", "/nonexistent/maj-no-cups.sock");
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
    ASSERT_TRUE(QPrinterInfo::defaultPrinter().isNull()) << "a default printer is still found";
    test::TempDrive drive;
    test::RecordingUi ui;
    test::FixedClock clock;
    Form1 form(ui, clock);
    setRunSettings(form.core());
    convention(form.core());
    form.show();
    form.findChild<QPushButton*>("btnimprimer")->click();
    EXPECT_TRUE(ui.ended);
    EXPECT_EQ(ui.messages, QStringList{"482: Aucune imprimante n'est installée"});
}

} // namespace
