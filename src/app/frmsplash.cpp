#include "app/frmsplash.h"

#include "app/AppIcon.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

namespace maj {

namespace {

// Design sizes, in twips.
constexpr double windowWidth = 5145;
constexpr double windowHeight = 3840;
constexpr double frameWidth = 4455;
constexpr double frameHeight = 3375;

const QColor teal(0, 128, 128);

void setTwipsGeometry(QWidget* widget, double left, double top, double width, double height)
{
    widget->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

// A caption of the frame, placed at `twips`.
QLabel* makeLabel(QWidget* parent, int index, const QString& caption, double pointSize, const QRectF& twips)
{
    auto* label = new QLabel(caption, parent);
    setTwipsGeometry(label, twips.x(), twips.y(), twips.width(), twips.height());
    label->setObjectName(QStringLiteral("Label1_%1").arg(index));
    label->setProperty("index", index);
    QFont font(QStringLiteral("Palatino Linotype"));
    font.setPointSizeF(pointSize);
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    // The labels take the system's desktop colour as background and its highlighted-text colour as
    // text. Qt has no desktop colour: the classic scheme's desktop, RGB(0, 128, 128), stands for it;
    // highlighted text comes from the palette (white on the default schemes).
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, teal);
    palette.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::HighlightedText));
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    return label;
}

} // namespace

frmsplash::frmsplash(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmsplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(QIcon(applicationPixmap()));
    setWindowTitle(QString());
    setFixedSize(twipsToPixels(windowWidth), twipsToPixels(windowHeight));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, teal);
    setPalette(palette);
    setAutoFillBackground(true);

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setAutoFillBackground(true);
    m_frame1 = QPointF(360, 240);
    placeFrame1();

    Label1.append(makeLabel(Frame1, 0, QStringLiteral("MISE A JOUR"), 18, {480, 480, 3375, 615}));
    Image1 = new QLabel(Frame1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(applicationPixmap());
    setTwipsGeometry(Image1, 1920, 1560, 480, 480);
    Label1.append(makeLabel(Frame1, 1, QStringLiteral("PRAXIDOME"), 18, {480, 2400, 3375, 615}));
    Label1.append(
        makeLabel(Frame1, 2, QStringLiteral("Ceci peut prendre quelques minutes"), 8.25, {480, 3000, 3375, 255}));

    tmr = new QTimer(this);
    tmr->setObjectName(QStringLiteral("tmr"));
    connect(tmr, &QTimer::timeout, this, &frmsplash::tmr_Timer);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    Form_Load();
}

void frmsplash::CloseAfter(qint32 attente)
{
    tmr->start();
    m_tickLimit = attente;
}

void frmsplash::Form_Load()
{
    tmr->stop();
    tmr->setInterval(1000);
    m_tickCount = 0;
}

void frmsplash::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        Form_Activate();
}

void frmsplash::Form_Activate()
{
    // The window has no border: its outer and inner sizes are the same.
    m_frame1 = QPointF((width() * 15.0 - frameWidth) / 2, (height() * 15.0 - frameHeight) / 2);
    placeFrame1();
}

void frmsplash::placeFrame1()
{
    setTwipsGeometry(Frame1, m_frame1.x(), m_frame1.y(), frameWidth, frameHeight);
}

void frmsplash::tmr_Timer()
{
    ++m_tickCount;
    m_printed.append(QString::number(m_tickCount));
    // Shown before the window may go.
    repaint();
    if (m_tickCount >= m_tickLimit)
        close();
}

void frmsplash::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (m_printed.isEmpty())
        return;
    // Printed text goes from the top left corner down, one line a tick, in the window's font.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics(font());
    for (qsizetype i = 0; i < m_printed.size(); ++i)
        painter.drawText(0, metrics.ascent() + int(i) * metrics.height(), m_printed.at(i));
}

} // namespace maj
