#include "platform/Logging.h"

Q_LOGGING_CATEGORY(lcUi, "maj.ui", QtWarningMsg)
Q_LOGGING_CATEGORY(lcStep, "maj.step", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDb, "maj.db", QtWarningMsg)
Q_LOGGING_CATEGORY(lcNet, "maj.net", QtWarningMsg)
