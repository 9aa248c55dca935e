#include "Logging.h"

#include "Database.h"

Q_LOGGING_CATEGORY(lcUi, "maj.ui", QtWarningMsg)
Q_LOGGING_CATEGORY(lcStep, "maj.step", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDb, "maj.db", QtWarningMsg)
Q_LOGGING_CATEGORY(lcNet, "maj.net", QtWarningMsg)

namespace maj {

StepScope::StepScope(const char* name) : m_name(name)
{
    qCDebug(lcStep) << "début" << m_name;
}

StepScope::~StepScope()
{
    commitPendingWrites();
    qCDebug(lcStep) << "fin" << m_name;
}

} // namespace maj
