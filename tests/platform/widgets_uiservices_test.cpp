#include "platform/widgets/QtUiServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace maj;

namespace {

TEST(QtUiServices, BusyCursorIsAStateNotAStack)
{
    QtUiServices ui;
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    ui.setBusyCursor(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui.setBusyCursor(true);
    ui.setBusyCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ui.setBusyCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// It sleeps in the event loop rather than returning at once (nothing else wakes a test process),
// and an event wakes it before the end of the wait.
TEST(QtUiServices, WaitForEventsSleepsUntilAnEvent)
{
    QtUiServices ui;
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
}

TEST(QtUiServices, MessageBoxHasNoIconAndOnlyOk)
{
    QtUiServices ui;
    struct Seen
    {
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::Information;
        int buttons = 0;
    };
    QList<Seen> seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.append({box->windowTitle(), box->text(), box->icon(), int(box->buttons().size())});
        box->button(QMessageBox::Ok)->click();
    });
    poll.start(10);
    ui.message("Mise à jour effectuée!");
    ui.message("Vérification terminée !", "Doublons");
    poll.stop();
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].title, "Mise à jour");
    EXPECT_EQ(seen[0].text, "Mise à jour effectuée!");
    EXPECT_EQ(seen[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen[0].buttons, 1);
    EXPECT_EQ(seen[1].title, "Doublons");
}

// The end of the program leaves at once, with code zero.
TEST(QtUiServicesDeathTest, EndProgramThroughTheHandlerBoundary)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QtUiServices ui;
            runHandler(ui, [&ui] { ui.endProgram(); });
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
