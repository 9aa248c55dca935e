#pragma once

#include <QLoggingCategory>

// Silent by default; a support technician turns them on with QT_LOGGING_RULES="maj.*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcUi)   // maj.ui: every message box text
Q_DECLARE_LOGGING_CATEGORY(lcStep) // maj.step: each step's start and end
Q_DECLARE_LOGGING_CATEGORY(lcDb)   // maj.db: failures the steps absorb, database work
Q_DECLARE_LOGGING_CATEGORY(lcNet)  // maj.net: transfers
