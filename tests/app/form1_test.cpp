#include "AppTestSupport.h"
#include "app/Form1.h"

#include <QCheckBox>
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

// The design's table: left, top, width x height in twips, and whether shown at start.
const struct Design
{
    const char* name;
    int left, top, width, height;
    bool shown;
} design[] = {
    {"txtconvention", 720, 480, 19215, 6855, true},   {"btnimprimer", 2160, 7680, 2895, 1575, true},
    {"Command2", 5280, 7680, 2775, 1575, true},       {"Command1", 8280, 7680, 2655, 1575, true},
    {"Btnancienexe", 11160, 7680, 2655, 1575, false}, {"btnquit", 14040, 7680, 2655, 1575, true},
    {"lbllangue", 16920, 7680, 855, 615, true},       {"LBLSERVEURCLIENT", 16920, 8400, 3135, 855, true},
    {"btnoui", 10200, 7920, 1815, 855, false},        {"btnnon", 7560, 7920, 1815, 855, false},
    {"chkXP", 17040, 7560, 3255, 375, false},         {"lbldate", 12480, 7680, 2415, 375, false},
    {"lblnumerodemaj", 480, 7920, 1575, 375, false},  {"l", 3240, 1560, 11895, 4350, false},
    {"btnquitter", 3240, 6000, 11895, 615, false},    {"btnbd", 360, 8880, 1695, 735, false},
};

TEST(Form1Window, FixedClientAreaBackgroundAndIcon)
{
    Window w;
    EXPECT_EQ(w.form.size(), QSize(20550 / 15, 9885 / 15));
    EXPECT_EQ(w.form.minimumSize(), w.form.maximumSize()) << "fixed size";
    EXPECT_EQ(w.form.palette().color(QPalette::Window), QColor(224, 224, 224));
    EXPECT_FALSE(w.form.windowIcon().isNull());
    EXPECT_EQ(w.form.windowIcon().pixmap(32, 32).size(), QSize(32, 32));
}

TEST(Form1Window, EveryControlAtItsDesignGeometryInPixels)
{
    Window w;
    for (const Design& d : design) {
        QWidget* widget = w.control(d.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), QRect(d.left / 15, d.top / 15, d.width / 15, d.height / 15)) << d.name;
        EXPECT_EQ(widget->parentWidget(), &w.form) << d.name;
    }
}

TEST(Form1Window, HiddenControlsStayHiddenAtStart)
{
    Window w;
    for (const Design& d : design)
        EXPECT_EQ(w.control(d.name)->isVisible(), d.shown) << d.name;
    EXPECT_FALSE(w.control("lbletape")->isVisible());
    EXPECT_FALSE(w.control("pgbprogression")->isVisible());
    EXPECT_FALSE(w.control<QCheckBox>("chkXP")->isChecked());
}

TEST(Form1Window, CaptionsFontsAndColours)
{
    Window w;
    const struct
    {
        const char* name;
        const char* caption;
    } captions[] = {
        {"btnimprimer", "Imprimer le contrat de maintenance"},
        {"Command2", "Je n'accepte pas les termes du contrat de maintenance"},
        {"Command1", "J'accepte les termes du contrat de maintenance"},
        {"Btnancienexe", "Retour à l'ancien exécutable"},
        {"btnquit", "Quitter"},
        {"btnoui", "J'accepte les termes du contrat de maintenance"},
        {"btnnon", "Je n'accepte pas les termes du contrat de maintenance"},
        {"btnquitter", "Quitter"},
        {"btnbd", "Btnbd"},
    };
    for (const auto& c : captions)
        EXPECT_EQ(w.control<QPushButton>(c.name)->text(), QString::fromUtf8(c.caption)) << c.name;
    EXPECT_EQ(w.control<QCheckBox>("chkXP")->text(), QStringLiteral("MSINET.OCX non enregistré"));
    EXPECT_EQ(w.control<QLabel>("LBLSERVEURCLIENT")->text(), QStringLiteral("POSTE"));
    EXPECT_EQ(w.control<QLabel>("lblnumerodemaj")->text(), QStringLiteral("Label1"));
    const QListWidget* list = w.control<QListWidget>("l");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Merci de bien prendre note des corrections à effectuer"));

    const QFont langue = w.control("lbllangue")->font();
    EXPECT_EQ(langue.family(), QStringLiteral("MS Sans Serif"));
    EXPECT_DOUBLE_EQ(langue.pointSizeF(), 18.0);
    EXPECT_FALSE(langue.bold());
    const QFont station = w.control("LBLSERVEURCLIENT")->font();
    EXPECT_DOUBLE_EQ(station.pointSizeF(), 18.0);
    EXPECT_TRUE(station.bold());
    EXPECT_TRUE(w.control<QLabel>("LBLSERVEURCLIENT")->alignment() & Qt::AlignHCenter);
    EXPECT_DOUBLE_EQ(w.control("txtconvention")->font().pointSizeF(), 8.25);

    EXPECT_EQ(w.control("btnoui")->palette().color(QPalette::Button), QColor(128, 255, 128));
    EXPECT_EQ(w.control("btnnon")->palette().color(QPalette::Button), QColor(255, 128, 128));
    EXPECT_EQ(w.control<QPlainTextEdit>("txtconvention")->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST(Form1Window, TabOrderOfTheDesign)
{
    Window w;
    const QStringList designOrder = {
        "l",       "btnquitter", "txtconvention", "btnnon",       "btnoui",           "btnimprimer",    "btnbd",
        "lbldate", "Command1",   "Command2",      "Btnancienexe", "LBLSERVEURCLIENT", "lblnumerodemaj", "chkXP",
        "btnquit", "lbllangue",
    };
    // Labels never take the focus; the controls that do follow the design's order.
    QStringList expected;
    for (const QString& name : designOrder)
        if (w.form.findChild<QWidget*>(name)->focusPolicy() & Qt::TabFocus)
            expected.append(name);
    EXPECT_EQ(expected.size(), 12);
    QStringList met;
    QWidget* start = w.control("l");
    QWidget* widget = start;
    do {
        if (expected.contains(widget->objectName()) && !met.contains(widget->objectName()))
            met.append(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget != start);
    EXPECT_EQ(met.join(QLatin1Char(' ')).toStdString(), expected.join(QLatin1Char(' ')).toStdString());
}

TEST(Form1Window, FollowsTheModel)
{
    Window w;
    WindowModel& m = w.model();
    m.caption = QStringLiteral("Mise à jour 5/2026 : version 8.6.8");
    m.txtconvention = QStringLiteral("  ligne 1\r\n  ligne 2");
    m.txtconventionFontSize = 10;
    m.l = QStringList{QStringLiteral("Merci"), QStringLiteral("ABC 1"), QStringLiteral("ABC 2")};
    m.lVisible = true;
    m.btnquitterVisible = true;
    m.btnancienexeVisible = true;
    m.chkXP = true;
    m.LBLSERVEURCLIENT = QStringLiteral("SERVEUR");
    m.notify();
    EXPECT_EQ(w.form.windowTitle(), m.caption);
    EXPECT_EQ(w.control<QPlainTextEdit>("txtconvention")->toPlainText(), QStringLiteral("  ligne 1\n  ligne 2"));
    EXPECT_DOUBLE_EQ(w.control("txtconvention")->font().pointSizeF(), 10.0);
    const QListWidget* list = w.control<QListWidget>("l");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(2)->text(), QStringLiteral("ABC 2"));
    EXPECT_TRUE(list->isVisible());
    EXPECT_TRUE(w.control("btnquitter")->isVisible());
    EXPECT_TRUE(w.control("Btnancienexe")->isVisible());
    EXPECT_TRUE(w.control<QCheckBox>("chkXP")->isChecked());
    EXPECT_EQ(w.control<QLabel>("LBLSERVEURCLIENT")->text(), QStringLiteral("SERVEUR"));

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
    m.showStep(QStringLiteral("Envoi du rapport d'activité..."), 0, 9);
    EXPECT_TRUE(step->isVisible());
    EXPECT_GT(step->geometry().top(), buttons.bottom());
    EXPECT_GT(bar->geometry().top(), step->geometry().bottom());
    EXPECT_LE(bar->geometry().bottom(), w.form.height() - 1);
    EXPECT_FALSE(bar->geometry().intersects(w.control("LBLSERVEURCLIENT")->geometry()));
    // Then in the contract's place, above the list of duplicates.
    m.txtconventionVisible = false;
    m.notify();
    m.showStep(QStringLiteral("Sauvegarde des fichiers"), 3, 9);
    EXPECT_EQ(step->geometry().topLeft(), contract.topLeft());
    EXPECT_LT(bar->geometry().bottom(), w.control("l")->geometry().top());
    EXPECT_TRUE(step->isVisible());
    EXPECT_EQ(step->text(), QStringLiteral("Sauvegarde des fichiers"));
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

TEST(Form1Window, AcceptDoesNothingWhileTheSequenceRuns)
{
    Window w;
    w.model().running = true;
    w.model().notify();
    // A click that was queued before the buttons were disabled.
    w.model().running = true;
    w.control<QPushButton>("Command1")->setEnabled(true);
    w.control<QPushButton>("Command1")->click();
    w.control<QPushButton>("Command2")->setEnabled(true);
    w.control<QPushButton>("Command2")->click();
    EXPECT_TRUE(w.ui.messages.isEmpty());
    EXPECT_FALSE(w.ui.ended);
}

TEST(Form1Window, QuitRefuseAndCloseEndTheProgram)
{
    {
        Window w;
        w.control<QPushButton>("btnquit")->click();
        EXPECT_TRUE(w.ui.ended);
        EXPECT_TRUE(w.ui.messages.isEmpty());
    }
    {
        Window w;
        w.control<QPushButton>("Command2")->click();
        EXPECT_TRUE(w.ui.ended);
        EXPECT_EQ(w.ui.messages,
                  QStringList{QStringLiteral(
                      "Merci d'avertir Norvix que vous souhaitez résilier la convention de mise à jour")});
    }
    {
        Window w;
        w.form.close();
        EXPECT_TRUE(w.ui.ended);
        EXPECT_TRUE(w.ui.messages.isEmpty());
    }
}

TEST(Form1Window, UserEditsReachTheModel)
{
    Window w;
    w.model().txtconvention = QStringLiteral("  un\r\n  deux");
    w.model().notify();
    auto* text = w.control<QPlainTextEdit>("txtconvention");
    QTextCursor cursor = text->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\n  trois") + QChar(QChar::Nbsp) + QStringLiteral("fois"));
    EXPECT_EQ(w.model().txtconvention,
              QStringLiteral("  un\r\n  deux\r\n  trois") + QChar(QChar::Nbsp) + QStringLiteral("fois"));
    // Showing the model again leaves the edited text as it is.
    w.model().notify();
    EXPECT_EQ(text->toPlainText(), QStringLiteral("  un\n  deux\n  trois fois"));
}

} // namespace
