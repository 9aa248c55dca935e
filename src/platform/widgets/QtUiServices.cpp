#include "platform/widgets/QtUiServices.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace maj {

void QtUiServices::setBusyCursor(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtUiServices::processEvents()
{
    QCoreApplication::processEvents();
}

void QtUiServices::waitForEvents(int ms)
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.start(qMax(0, ms));
    // Blocks until at least one event is there (the timer's at the latest), then handles what came.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void QtUiServices::programEnded()
{
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(int(exitStatus()));
}

void QtUiServices::showMessage(const QString& text, const QString& title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

bool QtUiServices::showQuestion(const QString& text, const QString& title)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, QApplication::activeWindow());
    QPushButton* yes = box.addButton(QStringLiteral("Oui"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("Non"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace maj
