#include "AppTestSupport.h"
#include "app/Form1.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace maj;

namespace {

struct Window
{
    test::TempDrive drive;
    test::RecordingUi ui;
    test::FixedClock clock;
    Form1 form{ui, clock};

    Window() { form.show(); }
    WindowModel& model() { return form.core().window; }
    template <class T = QWidget> T* control(const char* name)
    {
        T* widget = form.findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
};

TEST(Form1Window, FixedSizeInPixelsAndTheControlsShownAtStart)
{
    Window w;
    EXPECT_EQ(w.form.size(), QSize(20550 / 15, 9885 / 15));
    EXPECT_EQ(w.form.minimumSize(), w.form.maximumSize()) << "fixed size";
    EXPECT_EQ(w.control("txtconvention")->geometry(), QRect(720 / 15, 480 / 15, 19215 / 15, 6855 / 15));
    EXPECT_EQ(w.form.windowIcon().pixmap(32, 32).size(), QSize(32, 32));
    const QStringList shown = {"txtconvention", "btnimprimer", "Command2",        "Command1",
                               "btnquit",       "lbllangue",   "LBLSERVEURCLIENT"};
    for (const QWidget* widget : w.form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!widget->objectName().isEmpty() && !widget->inherits("QScrollBar")) {
            EXPECT_EQ(widget->isVisible(), shown.contains(widget->objectName())) << widget->objectName().toStdString();
        }
    }
}

TEST(Form1Window, FollowsTheModel)
{
    Window w;
    WindowModel& m = w.model();
    m.caption = "Mise à jour 5/2026 : version 8.6.8";
    m.txtconvention = "  ligne 1\r\n  ligne 2";
    m.txtconventionFontSize = 10;
    m.l = QStringList{"Merci", "ABC 1", "ABC 2"};
    m.lVisible = true;
    m.btnquitterVisible = true;
    m.btnancienexeVisible = true;
    m.chkXP = true;
    m.LBLSERVEURCLIENT = "SERVEUR";
    m.notify();
    EXPECT_EQ(w.form.windowTitle(), m.caption);
    EXPECT_EQ(w.control<QPlainTextEdit>("txtconvention")->toPlainText(), "  ligne 1\n  ligne 2");
    EXPECT_DOUBLE_EQ(w.control("txtconvention")->font().pointSizeF(), 10.0);
    const QListWidget* list = w.control<QListWidget>("l");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(2)->text(), "ABC 2");
    EXPECT_TRUE(list->isVisible());
    EXPECT_TRUE(w.control("btnquitter")->isVisible());
    EXPECT_TRUE(w.control("Btnancienexe")->isVisible());
    EXPECT_TRUE(w.control<QCheckBox>("chkXP")->isChecked());
    EXPECT_EQ(w.control<QLabel>("LBLSERVEURCLIENT")->text(), "SERVEUR");

    m.txtconventionVisible = false;
    m.notify();
    EXPECT_FALSE(w.control("txtconvention")->isVisible());
}

TEST(Form1Window, RunShowsTheStepAndDisablesAcceptRefuseAndPrint)
{
    Window w;
    WindowModel& m = w.model();
    auto* step = w.control<QLabel>("lbletape");
    auto* bar = w.control<QProgressBar>("pgbprogression");
    const QRect buttons = w.control("Command1")->geometry();
    const QRect contract = w.control("txtconvention")->geometry();
    // The first step runs with the contract still shown: the step goes under the buttons.
    m.running = true;
    m.notify();
    m.showStep("Envoi du rapport d'activité...", 0, 9);
    EXPECT_TRUE(step->isVisible());
    EXPECT_GT(step->geometry().top(), buttons.bottom());
    EXPECT_GT(bar->geometry().top(), step->geometry().bottom());
    EXPECT_LE(bar->geometry().bottom(), w.form.height() - 1);
    EXPECT_FALSE(bar->geometry().intersects(w.control("LBLSERVEURCLIENT")->geometry()));
    // Then in the contract's place, above the list of duplicates.
    m.txtconventionVisible = false;
    m.notify();
    m.showStep("Sauvegarde des fichiers", 3, 9);
    EXPECT_EQ(step->geometry().topLeft(), contract.topLeft());
    EXPECT_LT(bar->geometry().bottom(), w.control("l")->geometry().top());
    EXPECT_TRUE(step->isVisible());
    EXPECT_EQ(step->text(), "Sauvegarde des fichiers");
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->maximum(), 9);
    EXPECT_EQ(bar->value(), 3);
    for (const char* name : {"Command1", "Command2", "btnimprimer", "btnoui", "btnnon", "Btnancienexe"})
        EXPECT_FALSE(w.control(name)->isEnabled()) << name;
    for (const char* name : {"btnquit", "btnquitter"})
        EXPECT_TRUE(w.control(name)->isEnabled()) << name;
    // The progress is painted at once: the window's picture shows it without any event processed.
    const QImage before = w.form.grab(bar->geometry()).toImage();
    m.showRows(9, 9);
    EXPECT_EQ(bar->value(), 9);
    EXPECT_NE(w.form.grab(bar->geometry()).toImage(), before);

    m.running = false;
    m.notify();
    EXPECT_FALSE(step->isVisible());
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(w.control("Command1")->isEnabled());
}

TEST(Form1Window, QuitRefuseAndCloseEndTheProgram)
{
    for (const char* action : {"btnquit", "Command2", "close"}) {
        Window w;
        if (QString(action) == "close")
            w.form.close();
        else
            w.control<QPushButton>(action)->click();
        EXPECT_TRUE(w.ui.ended) << action;
        EXPECT_EQ(w.ui.messages,
                  QString(action) == "Command2"
                      ? QStringList{"Merci d'avertir Norvix que vous souhaitez résilier la convention de mise à jour"}
                      : QStringList());
    }
}

TEST(Form1Window, UserEditsReachTheModel)
{
    Window w;
    w.model().txtconvention = "  un\r\n  deux";
    w.model().notify();
    auto* text = w.control<QPlainTextEdit>("txtconvention");
    QTextCursor cursor = text->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\n  trois") + QChar(QChar::Nbsp) + "fois");
    EXPECT_EQ(w.model().txtconvention, QStringLiteral("  un\r\n  deux\r\n  trois") + QChar(QChar::Nbsp) + "fois");
    // Showing the model again leaves the edited text as it is.
    w.model().notify();
    EXPECT_EQ(text->toPlainText(), "  un\n  deux\n  trois fois");
}

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

    QString seen; // the window when the end of the update is told
    ui.onMessage = [&](const QString& text) {
        const auto* step = form.findChild<QLabel*>("lbletape");
        const auto* bar = form.findChild<QProgressBar*>("pgbprogression");
        if (text == "Mise à jour effectuée!")
            seen = QStringLiteral("%1 shown: %2, contract shown: %3, accept enabled: %4, %5/%6")
                       .arg(step->text())
                       .arg(step->isVisible())
                       .arg(form.findChild<QWidget*>("txtconvention")->isVisible())
                       .arg(form.findChild<QWidget*>("Command1")->isEnabled())
                       .arg(bar->value())
                       .arg(bar->maximum());
    };
    form.findChild<QPushButton*>("Command1")->click();

    EXPECT_TRUE(ui.ended);
    EXPECT_EQ(seen, "Mise à jour effectuée! shown: 1, contract shown: 0, accept enabled: 0, 5/5");
    // The run saved the application's files into a time-stamped backup folder.
    EXPECT_FALSE(QDir(drive.host()).entryList({"MAJ2*"}, QDir::Dirs).isEmpty());
}

} // namespace
