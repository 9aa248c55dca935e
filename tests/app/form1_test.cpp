#include "AppTestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>

#include <gtest/gtest.h>

using namespace maj;

namespace {

struct Window
{
    test::TempDrive drive;
    test::RecordingUi ui;
    test::FixedClock clock;
    Form1 form{ui, clock};
    WindowModel& m = form.core().window;

    Window() { form.show(); }
    template <class T = QWidget> T* control(const char* name) { return form.findChild<T*>(QLatin1String(name)); }
};

// Fixed size in pixels, the controls shown at start; then the window follows the model and the model
// the user's edits.
TEST(Form1Window, FixedSizeInPixelsTheControlsShownAtStartAndFollowsTheModel)
{
    Window w;
    EXPECT_EQ(w.form.size(), QSize(20550 / 15, 9885 / 15));
    EXPECT_EQ(w.form.minimumSize(), w.form.maximumSize()) << "fixed size";
    EXPECT_EQ(w.form.windowIcon().pixmap(32, 32).size(), QSize(32, 32));
    const QStringList shown = {"txtconvention", "btnimprimer", "Command2",        "Command1",
                               "btnquit",       "lbllangue",   "LBLSERVEURCLIENT"};
    for (const QWidget* widget : w.form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!widget->objectName().isEmpty() && !widget->inherits("QScrollBar")) {
            EXPECT_EQ(widget->isVisible(), shown.contains(widget->objectName())) << widget->objectName().toStdString();
        }
    w.m.l = QStringList{"Merci", "ABC 1", "ABC 2"};
    w.m.lVisible = w.m.chkXP = true;
    w.m.notify();
    ASSERT_EQ(w.control<QListWidget>("l")->count(), 3);
    EXPECT_EQ(w.control<QListWidget>("l")->item(2)->text(), "ABC 2");
    EXPECT_TRUE(w.control<QCheckBox>("chkXP")->isChecked());
    // The user's edits reach the model.
    w.m.txtconvention = "  un\r\n  deux";
    w.m.notify();
    auto* text = w.control<QPlainTextEdit>("txtconvention");
    QTextCursor cursor = text->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\n  trois") + QChar(QChar::Nbsp) + "fois");
    EXPECT_EQ(w.m.txtconvention, QStringLiteral("  un\r\n  deux\r\n  trois") + QChar(QChar::Nbsp) + "fois");
    // Showing the model again leaves the edited text as it is.
    w.m.notify();
    EXPECT_EQ(text->toPlainText(), "  un\n  deux\n  trois fois");
}

TEST(Form1Window, RunShowsTheStepAndDisablesAcceptRefuseAndPrint)
{
    Window w;
    auto* step = w.control<QLabel>("lbletape");
    auto* bar = w.control<QProgressBar>("pgbprogression");
    const QRect buttons = w.control("Command1")->geometry();
    const QRect contract = w.control("txtconvention")->geometry();
    // The first step runs with the contract still shown: the step goes under the buttons.
    w.m.running = true;
    w.m.notify();
    w.m.showStep("Envoi du rapport d'activité...", 0, 9);
    EXPECT_GT(step->geometry().top(), buttons.bottom());
    EXPECT_GT(bar->geometry().top(), step->geometry().bottom());
    EXPECT_LE(bar->geometry().bottom(), w.form.height() - 1);
    EXPECT_FALSE(bar->geometry().intersects(w.control("LBLSERVEURCLIENT")->geometry()));
    // Then in the contract's place, above the list of duplicates.
    w.m.txtconventionVisible = false;
    w.m.notify();
    w.m.showStep("Sauvegarde des fichiers", 3, 9);
    EXPECT_EQ(step->geometry().topLeft(), contract.topLeft());
    EXPECT_LT(bar->geometry().bottom(), w.control("l")->geometry().top());
    EXPECT_TRUE(bar->isVisible());
    for (const char* name : {"Command1", "Command2", "btnimprimer", "btnoui", "btnnon", "Btnancienexe"})
        EXPECT_FALSE(w.control(name)->isEnabled()) << name;
    for (const char* name : {"btnquit", "btnquitter"})
        EXPECT_TRUE(w.control(name)->isEnabled()) << name;
    // The progress is painted at once: the window's picture shows it without any event processed.
    const QImage before = w.form.grab(bar->geometry()).toImage();
    w.m.showRows(9, 9);
    EXPECT_NE(w.form.grab(bar->geometry()).toImage(), before);

    w.m.running = false;
    w.m.notify();
    EXPECT_FALSE(step->isVisible());
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(w.control("Command1")->isEnabled());
}

} // namespace
