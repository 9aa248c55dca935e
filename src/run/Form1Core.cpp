#include "run/Form1Core.h"

namespace maj {

void WindowModel::showStep(const QString& text, int value, int maximum)
{
    stepText = text;
    progressValue = value;
    progressMaximum = maximum;
    emit progressChanged();
}

void WindowModel::showRows(qint64 done, qint64 total)
{
    // The clock is read every 64 rows only: a loop over a large table calls this for each row.
    if (done != total && m_rowsTimer.isValid() && (done % 64 != 0 || m_rowsTimer.elapsed() < 250))
        return;
    m_rowsTimer.start();
    progressMaximum = int(qMin<qint64>(total, INT_MAX));
    progressValue = int(qMin<qint64>(done, INT_MAX));
    emit progressChanged();
}

} // namespace maj
