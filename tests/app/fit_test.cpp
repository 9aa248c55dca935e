#include "AppTestSupport.h"

#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

using namespace maj;

namespace {

TEST(WindowFit, DesignSizeWhereItFitsWithItsFrameScaledDownAsAWholeElsewhere)
{
    const QSize design(1370, 659);
    const QMargins frame(8, 40, 8, 8);
    // The available area, the scale.
    const std::pair<QRect, double> cases[] = {
        {{0, 0, 1920, 1080}, 1},
        {{0, 0, 1386, 707}, 1}, // exactly the window and its frame
        {{0, 0, 1385, 707}, 1369.0 / 1370},
        {{0, 27, 1366, 741}, 1350.0 / 1370}, // a laptop screen under a top panel
        {{1920, 0, 1280, 720}, 1264.0 / 1370},
        {{0, 0, 1024, 768}, 1008.0 / 1370},
        {{0, 0, 1920, 600}, 552.0 / 659},
    };
    for (const auto& [available, scale] : cases) {
        const WindowFit fit = fitWindow(available, design, frame);
        const QRect outer(fit.frameTopLeft, fit.client.grownBy(frame));
        SCOPED_TRACE(testing::Message() << available.width() << "x" << available.height());
        EXPECT_DOUBLE_EQ(fit.scale, scale);
        EXPECT_EQ(fit.client, QSize(int(1370 * scale), int(659 * scale)));
        EXPECT_TRUE(available.contains(outer));
        EXPECT_LE((outer.center() - available.center()).manhattanLength(), 1) << "centred";
    }
}

// The offscreen screens of tests/support/screens.json: the main window opened on each, as the
// program opens it, shows every control inside the screen.
TEST(WindowFit, EveryControlInsideTheScreenTheWindowOpensOn)
{
    const std::pair<const char*, bool> cases[] = {{"wide", false}, {"hd", true}, {"xga", true}};
    for (const auto& [name, scaled] : cases) {
        SCOPED_TRACE(name);
        QScreen* screen = nullptr;
        for (QScreen* s : QGuiApplication::screens())
            screen = s->name() == QLatin1String(name) ? s : screen;
        ASSERT_NE(screen, nullptr) << "the offscreen platform did not read tests/support/screens.json";
        test::OpenedWindow w;
        ASSERT_TRUE(w.open(screen)) << w.ui.messages.join('|').toStdString();
        const Form1& form = *w.form;
        const QRect area = screen->availableGeometry();
        EXPECT_EQ(form.scale() < 1, scaled) << form.scale();
        EXPECT_TRUE(area.contains(form.frameGeometry()));
        for (const QWidget* control : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QRect onScreen(control->mapToGlobal(QPoint(0, 0)), control->size());
            EXPECT_TRUE(area.contains(onScreen)) << control->objectName().toStdString();
        }
        // Scaled as a whole: the controls keep their design proportions.
        const QWidget* contract = w.control("txtconvention");
        EXPECT_NEAR(contract->width(), 19215 / 15.0 * form.scale(), 1);
        EXPECT_NEAR(contract->x(), 720 / 15.0 * form.scale(), 1);
        EXPECT_NEAR(form.font().pointSizeF(), 8.25 * form.scale(), 0.01);
    }
}

} // namespace
