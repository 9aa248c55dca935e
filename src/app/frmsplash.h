#pragma once

#include <QList>
#include <QPointF>
#include <QStringList>
#include <QWidget>

class QFrame;
class QLabel;
class QTimer;

namespace maj {

// The splash window: shown by Main before the main window, it unloads itself (closes and is
// deleted) at the tick whose count reaches the limit that CloseAfter sets.
//
// The control array Label1 is the list Label1 (indices 0, 1, 2); each label's objectName is
// "Label1_<index>" and its property "index" holds the index.
class frmsplash : public QWidget
{
    Q_OBJECT
public:
    explicit frmsplash(QWidget* parent = nullptr);

    // Enables the timer, then sets the tick limit; the tick count goes on from where it was.
    void CloseAfter(qint32 attente);

    qint32 tickCount() const { return m_tickCount; }
    qint32 tickLimit() const { return m_tickLimit; }
    // What the ticks printed on the window's surface, one entry a line.
    const QStringList& printedLines() const { return m_printed; }
    // Frame1's top left corner in twips.
    QPointF frame1Position() const { return m_frame1; }

    QFrame* Frame1 = nullptr;
    QList<QLabel*> Label1;
    QLabel* Image1 = nullptr;
    QTimer* tmr = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Form_Load();
    void Form_Activate();
    void tmr_Timer();
    void placeFrame1();

    qint32 m_tickCount = 0;
    qint32 m_tickLimit = 0;
    QStringList m_printed;
    QPointF m_frame1;
};

} // namespace maj
