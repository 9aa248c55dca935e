#include "AppTestSupport.h"
#include "app/Module1.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

using namespace maj;

namespace {

const QColor teal(0, 128, 128);

// Pixels of `rect` that differ from `colour`.
int pixelsOtherThan(const QImage& image, const QRect& rect, const QColor& colour)
{
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            count += image.pixelColor(x, y).rgb() != colour.rgb();
    return count;
}

// A clock that looks at the windows when the opening work reads the time (its step 8).
class ProbeClock : public Clock
{
public:
    std::function<void()> probe;
    QDateTime now() const override
    {
        if (probe)
            probe();
        return QDateTime(QDate(2021, 3, 5), QTime(9, 0));
    }
};

TEST(Splash, FramelessAndCentredInPixels)
{
    frmsplash splash;
    splash.show();
    EXPECT_EQ(splash.size(), QSize(343, 256));
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    // Centred at activation: (5145 - 4455) / 2 = 345 and (3840 - 3375) / 2 = 232.5 twips.
    EXPECT_DOUBLE_EQ(splash.frame1Position().x(), 345.0);
    EXPECT_DOUBLE_EQ(splash.frame1Position().y(), 232.5);
    EXPECT_EQ(splash.Frame1->geometry(), QRect(23, 16, 297, 225));
    ASSERT_EQ(splash.Label1.size(), 3);
    EXPECT_EQ(splash.Label1.at(2)->text(), "Ceci peut prendre quelques minutes");
}

TEST(Splash, TimerWaitsForCloseAfterAndUnloadsAtTheLimit)
{
    QPointer<frmsplash> splash = new frmsplash;
    splash->show();
    EXPECT_FALSE(splash->tmr->isActive());
    EXPECT_EQ(splash->tmr->interval(), 1000);
    EXPECT_EQ(splash->tickCount(), 0);
    test::waitFor(1200);
    EXPECT_EQ(splash->tickCount(), 0) << "no tick before CloseAfter";

    const QImage before = splash->grab().toImage();
    EXPECT_EQ(pixelsOtherThan(before, QRect(0, 0, 20, 16), teal), 0);
    QImage atTick;
    splash->CloseAfter(1);
    EXPECT_TRUE(splash->tmr->isActive());
    EXPECT_EQ(splash->tickLimit(), 1);
    // Connected after the window's own handler: looks at the window as the tick left it.
    QObject::connect(splash->tmr, &QTimer::timeout, [&] {
        if (splash)
            atTick = splash->grab().toImage();
    });
    ASSERT_TRUE(test::waitUntil([&] { return splash.isNull(); }, 3000)) << "unloaded at the first tick";
    ASSERT_FALSE(atTick.isNull());
    // The count 1 printed at the top left corner, left of the frame.
    EXPECT_GT(pixelsOtherThan(atTick, QRect(0, 0, 20, 16), teal), 0);
}

TEST(Splash, TickCountGoesOnAcrossCloseAfter)
{
    QPointer<frmsplash> splash = new frmsplash;
    splash->show();
    splash->CloseAfter(2);
    ASSERT_TRUE(test::waitUntil([&] { return splash && splash->tickCount() == 1; }, 3000));
    EXPECT_EQ(splash->printedLines(), QStringList{"1"});
    EXPECT_TRUE(splash->isVisible());
    ASSERT_TRUE(test::waitUntil([&] { return splash.isNull(); }, 3000));
}

TEST(Splash, OnScreenDuringTheOpeningWorkAndGoneOneTickAfter)
{
    test::TempDrive drive;
    test::installPractice(drive, false);
    test::RecordingUi ui;
    ProbeClock clock;
    bool splashDuringOpening = false;
    bool formShownDuringOpening = false;
    clock.probe = [&] {
        // The splash is the only top-level frmsplash; the main window is being opened.
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("frmsplash") && w->isVisible())
                splashDuringOpening = true;
            if (w->objectName() == QLatin1String("Form1") && w->isVisible())
                formShownDuringOpening = true;
        }
    };
    StartedWindows windows = startWindows(ui, clock);
    clock.probe = nullptr;
    ASSERT_TRUE(windows.opened) << ui.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(splashDuringOpening);
    EXPECT_TRUE(formShownDuringOpening);
    EXPECT_GE(ui.processed, 1) << "the splash painted before the opening work";
    ASSERT_FALSE(windows.splash.isNull());
    EXPECT_TRUE(windows.splash->isVisible());
    EXPECT_EQ(windows.splash->tickLimit(), 1);
    EXPECT_TRUE(windows.form->isVisible());

    test::waitFor(500);
    EXPECT_FALSE(windows.splash.isNull()) << "never before the tick";
    ASSERT_TRUE(test::waitUntil([&] { return windows.splash.isNull(); }, 2500));
    EXPECT_TRUE(windows.form->isVisible());
    EXPECT_FALSE(ui.ended);
}

TEST(Splash, OpeningWorkThatEndsTheProgramNeverAsksTheSplashToClose)
{
    test::TempDrive drive; // no installation: the application is taken to be running
    test::RecordingUi ui;
    test::FixedClock clock;
    StartedWindows windows = startWindows(ui, clock);
    EXPECT_FALSE(windows.opened);
    EXPECT_TRUE(ui.ended);
    ASSERT_FALSE(windows.splash.isNull());
    EXPECT_FALSE(windows.splash->tmr->isActive());
    EXPECT_EQ(windows.splash->tickLimit(), 0);
    delete windows.splash.data();
}

} // namespace
