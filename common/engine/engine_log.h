#pragma once

#include <QLoggingCategory>

// The media engines' log: quiet unless QT_LOGGING_RULES turns "velune.engine" on;
// failures are logged as warnings.
Q_DECLARE_LOGGING_CATEGORY(lcEngine)
