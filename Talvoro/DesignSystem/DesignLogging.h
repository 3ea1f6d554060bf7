#pragma once

#include <QLoggingCategory>

namespace talvoro::log {
Q_DECLARE_LOGGING_CATEGORY(designSystem)
} // namespace talvoro::log
