#pragma once

#include <QLoggingCategory>

// The media engines' log: failures are logged as warnings, shown when
// QT_LOGGING_RULES turns "velune.engine" (or "velune.*") on.
inline const QLoggingCategory& lcEngine() {
    static const QLoggingCategory category("velune.engine", QtCriticalMsg);
    return category;
}
