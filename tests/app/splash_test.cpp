#include "AppTestSupport.h"
#include "app/Module1.h"

#include <QApplication>
#include <QImage>
#include <QTimer>

#include <gtest/gtest.h>

using namespace maj;

namespace {

// A clock that looks at the windows when the opening work reads the time (its step 8).
struct ProbeClock : Clock
{
    std::function<void()> probe;
    QDateTime now() const override
    {
        if (probe)
            probe();
        return QDateTime(QDate(2021, 3, 5), QTime(9, 0));
    }
};

// Frameless, its frame centred; each tick prints its count at the top left corner, left of the frame,
// and the window unloads at the tick whose count reaches the limit.
TEST(Splash, FramelessCentredTicksOnlyAfterCloseAfterAndUnloadsAtTheLimit)
{
    QPointer<frmsplash> splash = new frmsplash;
    splash->show();
    EXPECT_TRUE(splash->windowFlags() & Qt::FramelessWindowHint);
    // Centred at activation: (5145 - 4455) / 2 = 345 and (3840 - 3375) / 2 = 232.5 twips.
    EXPECT_DOUBLE_EQ(splash->frame1Position().x(), 345.0);
    EXPECT_DOUBLE_EQ(splash->frame1Position().y(), 232.5);
    const QRect corner(0, 0, 20, 16);
    const QImage before = splash->grab(corner).toImage();
    splash->CloseAfter(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return splash && splash->tickCount() == 1; }, 3000));
    EXPECT_EQ(splash->printedLines(), QStringList{"1"});
    EXPECT_NE(splash->grab(corner).toImage(), before) << "the count is printed at the top left corner";
    ASSERT_TRUE(QTest::qWaitFor([&] { return splash.isNull(); }, 3000)) << "unloaded at the second tick";
}

// On screen during the opening work, gone one tick after; an opening work that ends the program (no
// installation: the application is taken to be running) never asks the splash to close.
TEST(Splash, OnScreenDuringTheOpeningWorkAndGoneOneTickAfter)
{
    for (const bool installed : {true, false}) {
        SCOPED_TRACE(installed);
        test::TempDrive drive;
        if (installed)
            test::installPractice(drive);
        test::RecordingUi ui;
        ProbeClock clock;
        QStringList shownDuringOpening; // the visible top-level windows while the main window is opened
        clock.probe = [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible())
                    shownDuringOpening.append(w->objectName());
        };
        StartedWindows windows = startWindows(ui, clock);
        clock.probe = nullptr;
        ASSERT_FALSE(windows.splash.isNull());
        EXPECT_EQ(windows.opened, installed) << ui.messages.join('|').toStdString();
        EXPECT_EQ(ui.ended, !installed);
        EXPECT_EQ(windows.splash->tickLimit(), installed ? 1 : 0);
        if (!installed) {
            EXPECT_FALSE(windows.splash->tmr->isActive());
            delete windows.splash.data();
            continue;
        }
        EXPECT_TRUE(shownDuringOpening.contains("frmsplash") && shownDuringOpening.contains("Form1"))
            << shownDuringOpening.join(' ').toStdString();
        EXPECT_GE(ui.processed, 1) << "the splash painted before the opening work";
        EXPECT_TRUE(windows.splash->isVisible());
        QTest::qWait(500);
        EXPECT_FALSE(windows.splash.isNull()) << "never before the tick";
        ASSERT_TRUE(QTest::qWaitFor([&] { return windows.splash.isNull(); }, 2500));
        EXPECT_TRUE(windows.form->isVisible());
    }
}

} // namespace
