#include "app/Form1.h"

#include "app/AppIcon.h"
#include "app/Opening.h"
#include "app/Sequence.h"
#include "db/DbSteps.h"
#include "nomenclature/Nomenclature.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextDocument>

namespace maj {

namespace {

// Client area, in twips.
constexpr double clientWidth = 20550;
constexpr double clientHeight = 9885;

struct Placement
{
    const char* name;
    double left, top, width, height; // twips
};

// The controls' design geometry.
constexpr Placement placements[] = {
    {"txtconvention", 720, 480, 19215, 6855},  {"btnimprimer", 2160, 7680, 2895, 1575},
    {"Command2", 5280, 7680, 2775, 1575},      {"Command1", 8280, 7680, 2655, 1575},
    {"Btnancienexe", 11160, 7680, 2655, 1575}, {"btnquit", 14040, 7680, 2655, 1575},
    {"lbllangue", 16920, 7680, 855, 615},      {"LBLSERVEURCLIENT", 16920, 8400, 3135, 855},
    {"btnoui", 10200, 7920, 1815, 855},        {"btnnon", 7560, 7920, 1815, 855},
    {"chkXP", 17040, 7560, 3255, 375},         {"lbldate", 12480, 7680, 2415, 375},
    {"lblnumerodemaj", 480, 7920, 1575, 375},  {"l", 3240, 1560, 11895, 4350},
    {"btnquitter", 3240, 6000, 11895, 615},    {"btnbd", 360, 8880, 1695, 735},
};

// The tab order of the design (indices 0 to 15).
constexpr const char* tabOrderNames[] = {
    "l",       "btnquitter", "txtconvention", "btnnon",       "btnoui",           "btnimprimer",    "btnbd",
    "lbldate", "Command1",   "Command2",      "Btnancienexe", "LBLSERVEURCLIENT", "lblnumerodemaj", "chkXP",
    "btnquit", "lbllangue",
};

// Beyond the design: the running step and its progress. Once the sequence has hidden the contract
// they take its place (above the list of duplicates); before that (the upload, the first step) they
// sit in the free strip under the buttons.
constexpr Placement stepInContractPlace = {"lbletape", 720, 480, 19215, 615};
constexpr Placement barInContractPlace = {"pgbprogression", 720, 1140, 19215, 375};
constexpr Placement stepUnderButtons = {"lbletape", 2160, 9285, 12540, 270};
constexpr Placement barUnderButtons = {"pgbprogression", 2160, 9585, 12540, 210};

// What the window's frame adds around the client area before the window system tells (it only does
// once the window is shown): a title bar and thin borders, on the generous side.
constexpr QMargins frameEstimate(8, 40, 8, 8);

void place(QWidget* widget, const Placement& p, double scale)
{
    widget->setGeometry(twipsToPixels(p.left * scale), twipsToPixels(p.top * scale), twipsToPixels(p.width * scale),
                        twipsToPixels(p.height * scale));
}

QFont designFont(double pointSize, double scale, bool bold = false)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(pointSize * scale);
    font.setBold(bold);
    return font;
}

// A command button whose caption wraps over several lines, as the old buttons' captions did.
class CommandButton : public QPushButton
{
public:
    CommandButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).adjusted(2, 2, -2, -2);
        style()->drawItemText(&painter, area, Qt::AlignCenter | Qt::TextWordWrap, option.palette, isEnabled(), caption,
                              QPalette::ButtonText);
    }
};

// A control named as in the design.
template <class Control> Control* named(Control* control, const char* name)
{
    control->setObjectName(QLatin1String(name));
    return control;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption)
{
    return named(new CommandButton(caption, parent), name);
}

void setBackground(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Button, colour);
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

WindowFit fitWindow(const QRect& available, const QSize& design, const QMargins& frame)
{
    WindowFit fit;
    const double room = qMin(double(available.width() - frame.left() - frame.right()) / design.width(),
                             double(available.height() - frame.top() - frame.bottom()) / design.height());
    fit.scale = qBound(0.1, room, 1.0);
    // Rounded down, so that the scaled window never outgrows the room it was scaled for.
    fit.client = QSize(int(design.width() * fit.scale), int(design.height() * fit.scale));
    const QSize outer = fit.client.grownBy(frame);
    fit.frameTopLeft = QPoint(available.x() + qMax(0, (available.width() - outer.width()) / 2),
                              available.y() + qMax(0, (available.height() - outer.height()) / 2));
    return fit;
}

Form1::Form1(UiServices& ui, Clock& clock, QWidget* parent) : QWidget(parent), m_core(ui, clock)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(QIcon(applicationPixmap()));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(224, 224, 224));
    setPalette(palette);
    setAutoFillBackground(true);

    buildControls();
    fitToScreen(screen());

    connect(&m_core.window, &WindowModel::changed, this, &Form1::showModel);
    connect(&m_core.window, &WindowModel::progressChanged, this, &Form1::showProgress);
    showModel();

    handle([](Form1Core& f) { bindAtLoad(f); });
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    txtconvention = named(new QPlainTextEdit(this), "txtconvention");
    txtconvention->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtconvention->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtconvention->setTabChangesFocus(true);

    btnimprimer = makeButton(this, "btnimprimer", QStringLiteral("Imprimer le contrat de maintenance"));
    Command2 = makeButton(this, "Command2", QStringLiteral("Je n'accepte pas les termes du contrat de maintenance"));
    Command1 = makeButton(this, "Command1", QStringLiteral("J'accepte les termes du contrat de maintenance"));
    Btnancienexe = makeButton(this, "Btnancienexe", QStringLiteral("Retour à l'ancien exécutable"));
    btnquit = makeButton(this, "btnquit", QStringLiteral("Quitter"));

    lbllangue = named(new QLabel(this), "lbllangue");
    LBLSERVEURCLIENT = named(new QLabel(this), "LBLSERVEURCLIENT");
    LBLSERVEURCLIENT->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    LBLSERVEURCLIENT->setWordWrap(true);

    btnoui = makeButton(this, "btnoui", QStringLiteral("J'accepte les termes du contrat de maintenance"));
    setBackground(btnoui, QColor(128, 255, 128));
    btnnon = makeButton(this, "btnnon", QStringLiteral("Je n'accepte pas les termes du contrat de maintenance"));
    setBackground(btnnon, QColor(255, 128, 128));

    chkXP = named(new QCheckBox(QStringLiteral("MSINET.OCX non enregistré"), this), "chkXP");
    lbldate = named(new QLabel(this), "lbldate");
    lblnumerodemaj = named(new QLabel(this), "lblnumerodemaj");
    l = named(new QListWidget(this), "l");
    btnquitter = makeButton(this, "btnquitter", QStringLiteral("Quitter"));
    btnbd = makeButton(this, "btnbd", QStringLiteral("Btnbd"));

    lbletape = named(new QLabel(this), "lbletape");
    pgbprogression = named(new QProgressBar(this), "pgbprogression");

    for (const char* name : tabOrderNames)
        m_tabOrder.append(findChild<QWidget*>(QLatin1String(name), Qt::FindDirectChildrenOnly));
    for (qsizetype i = 1; i < m_tabOrder.size(); ++i)
        setTabOrder(m_tabOrder.at(i - 1), m_tabOrder.at(i));

    // Hidden at start; the model shows what the steps make visible.
    const QList<QWidget*> hiddenAtStart{Btnancienexe, btnoui, btnnon,   chkXP,         lbldate, lblnumerodemaj, l,
                                        btnquitter,   btnbd,  lbletape, pgbprogression};
    for (QWidget* hidden : hiddenAtStart)
        hidden->hide();

    connectButton(btnimprimer, &btnimprimer_Click, &WindowModel::contractButtonsEnabled);
    connectButton(Command2, &Command2_Click, &WindowModel::contractButtonsEnabled);
    connectButton(Command1, &Command1_Click, &WindowModel::contractButtonsEnabled);
    connectButton(Btnancienexe, &Btnancienexe_Click, &WindowModel::restoreButtonEnabled);
    connectButton(btnquit, &btnquit_Click, nullptr);
    connectButton(btnoui, &btnoui_Click, &WindowModel::contractButtonsEnabled);
    connectButton(btnnon, &btnnon_Click, &WindowModel::contractButtonsEnabled);
    connectButton(btnquitter, &btnquitter_Click, nullptr);
    connectButton(btnbd, &btnbd_Click, nullptr);

    connect(txtconvention, &QPlainTextEdit::textChanged, this, &Form1::takeUserText);
    connect(chkXP, &QCheckBox::toggled, this, [this](bool checked) {
        if (!m_showing)
            m_core.window.chkXP = checked;
    });
}

void Form1::fitToScreen(const QScreen* screen)
{
    const QSize design(twipsToPixels(clientWidth), twipsToPixels(clientHeight));
    const WindowFit fit =
        screen ? fitWindow(screen->availableGeometry(), design, frameEstimate) : WindowFit{1, design, pos()};
    m_scale = fit.scale;
    setFixedSize(fit.client);
    applyScale();
    move(fit.frameTopLeft);
}

// The design's geometry and fonts at the window's scale.
void Form1::applyScale()
{
    setFont(designFont(8.25, m_scale));
    lbllangue->setFont(designFont(18, m_scale));
    LBLSERVEURCLIENT->setFont(designFont(18, m_scale, true));
    lbletape->setFont(designFont(10, m_scale, true));
    txtconvention->setFont(designFont(m_core.window.txtconventionFontSize, m_scale));
    for (const Placement& p : placements) {
        QWidget* widget = findChild<QWidget*>(QLatin1String(p.name), Qt::FindDirectChildrenOnly);
        Q_ASSERT(widget);
        place(widget, p, m_scale);
    }
    showProgress();
}

void Form1::connectButton(QPushButton* button, void (*handler)(Form1Core&), bool (WindowModel::*allowed)() const)
{
    connect(button, &QPushButton::clicked, this, [this, handler, allowed] {
        // Disabled by the model; a click queued before that does nothing either.
        if (allowed && !(m_core.window.*allowed)())
            return;
        handle(handler);
    });
}

void Form1::handle(const std::function<void(Form1Core&)>& handler)
{
    runHandler(m_core.ui, [&] { handler(m_core); });
}

bool Form1::showAndActivate()
{
    // At its first showing the window fits the screen it opens on (which may have changed since).
    if (!m_activated)
        fitToScreen(screen());
    show();
    if (m_activated)
        return true;
    m_activated = true;
    bool completed = false;
    handle([&completed](Form1Core& f) {
        Form_Activate(f);
        completed = true;
    });
    showModel();
    // The focus starts in the first visible control of the tab order.
    for (QWidget* widget : std::as_const(m_tabOrder)) {
        if (widget->isVisibleTo(this) && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus)) {
            widget->setFocus(Qt::OtherFocusReason);
            break;
        }
    }
    return completed;
}

void Form1::closeEvent(QCloseEvent* event)
{
    handle([](Form1Core& f) { f.ui.endProgram(); });
    event->accept();
}

void Form1::showModel()
{
    const WindowModel& w = m_core.window;
    m_showing = true;
    setWindowTitle(w.caption);
    lbllangue->setText(w.lbllangue);
    LBLSERVEURCLIENT->setText(w.LBLSERVEURCLIENT);
    lbldate->setText(w.lbldate);
    lblnumerodemaj->setText(w.lblnumerodemaj);

    if (txtconvention->font().pointSizeF() != w.txtconventionFontSize * m_scale)
        txtconvention->setFont(designFont(w.txtconventionFontSize, m_scale));
    if (w.txtconvention != m_shownText) {
        m_shownText = w.txtconvention;
        txtconvention->setPlainText(QString(w.txtconvention).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }
    txtconvention->setVisible(w.txtconventionVisible);

    if (w.l != m_shownLines) {
        m_shownLines = w.l;
        l->clear();
        l->addItems(w.l);
    }
    l->setVisible(w.lVisible);
    btnquitter->setVisible(w.btnquitterVisible);
    Btnancienexe->setVisible(w.btnancienexeVisible);
    btnoui->setVisible(w.btnouiVisible);
    btnnon->setVisible(w.btnnonVisible);
    chkXP->setChecked(w.chkXP);

    // Accepting, refusing and printing only before the sequence; restoring not while it runs.
    for (QPushButton* button : {Command1, Command2, btnimprimer, btnoui, btnnon})
        button->setEnabled(w.contractButtonsEnabled());
    Btnancienexe->setEnabled(w.restoreButtonEnabled());
    m_showing = false;
    showProgress();
}

void Form1::showProgress()
{
    const WindowModel& w = m_core.window;
    lbletape->setText(w.stepText);
    const int maximum = qMax(1, w.progressMaximum);
    pgbprogression->setRange(0, maximum);
    pgbprogression->setValue(qBound(0, w.progressValue, maximum));
    place(lbletape, w.txtconventionVisible ? stepUnderButtons : stepInContractPlace, m_scale);
    place(pgbprogression, w.txtconventionVisible ? barUnderButtons : barInContractPlace, m_scale);
    lbletape->setVisible(w.running);
    pgbprogression->setVisible(w.running);
    // No event is processed during the steps: paint now.
    if (w.running && isVisible()) {
        lbletape->repaint();
        pgbprogression->repaint();
    }
}

void Form1::takeUserText()
{
    if (m_showing)
        return;
    // The raw text keeps non-breaking blanks; blocks end with paragraph separators.
    QString text = txtconvention->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    m_shownText = text;
    m_core.window.txtconvention = text;
}

} // namespace maj
