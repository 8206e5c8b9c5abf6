#include "platform/Logging.h"

// Only warnings pass by default; the diagnostics are written at info level.
Q_LOGGING_CATEGORY(NetLog, "vocalon.net", QtWarningMsg)
Q_LOGGING_CATEGORY(AppLog, "vocalon.app", QtWarningMsg)
