#pragma once

#include "run/Form1Core.h"

#include <QList>
#include <QMargins>
#include <QRect>
#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScreen;

namespace maj {

// How the main window opens in a screen's available area: at its design size when the area holds it
// and its frame, otherwise scaled down as a whole; centred either way.
struct WindowFit
{
    double scale = 1;
    QSize client; // the client area
    QPoint frameTopLeft;
};
WindowFit fitWindow(const QRect& available, const QSize& design, const QMargins& frame);

// The main window: the widgets of Form1 over its core. The widgets show the core's WindowModel and
// follow its signals; every button hands over to the step functions through runHandler. Each control
// has its design name as objectName.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    // Binds Data7 as the window does when it loads.
    Form1(UiServices& ui, Clock& clock, QWidget* parent = nullptr);
    ~Form1() override;

    Form1Core& core() { return m_core; }

    // Shows the window and, at its first showing, runs the opening work (Form_Activate) before
    // returning: the window only becomes active once, when Main shows it. False when the opening work
    // ended the program.
    bool showAndActivate();

    // Sizes the window for the screen it opens on and centres it there.
    void fitToScreen(const QScreen* screen);
    double scale() const { return m_scale; }

protected:
    // Closing the window ends the program at once, whatever runs (the update sequence may be waiting
    // in the upload when the window is closed).
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void applyScale();
    void showModel();
    void showProgress();
    void takeUserText();
    void handle(const std::function<void(Form1Core&)>& handler);
    // `allowed` (none: always) tells from the model whether a click may run the handler.
    void connectButton(QPushButton* button, void (*handler)(Form1Core&), bool (WindowModel::*allowed)() const);

    Form1Core m_core;
    double m_scale = 1;
    bool m_activated = false;
    bool m_showing = false;
    QString m_shownText;
    QStringList m_shownLines;

    QPlainTextEdit* txtconvention = nullptr;
    QPushButton* btnimprimer = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Btnancienexe = nullptr;
    QPushButton* btnquit = nullptr;
    QLabel* lbllangue = nullptr;
    QLabel* LBLSERVEURCLIENT = nullptr;
    QPushButton* btnoui = nullptr;
    QPushButton* btnnon = nullptr;
    QCheckBox* chkXP = nullptr;
    QLabel* lbldate = nullptr;
    QLabel* lblnumerodemaj = nullptr;
    QListWidget* l = nullptr;
    QPushButton* btnquitter = nullptr;
    QPushButton* btnbd = nullptr;
    // Where the contract was, during the run: the running step and its progress.
    QLabel* lbletape = nullptr;
    QProgressBar* pgbprogression = nullptr;

    QList<QWidget*> m_tabOrder;
};

} // namespace maj
