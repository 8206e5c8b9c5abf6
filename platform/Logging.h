#pragma once

// The logging category of network and protocol diagnostics: requests, their results, sizes
// and times. Silent unless turned on, e.g. QT_LOGGING_RULES="vocalon.net=true", so a user
// can report what happened. Messages never carry passwords. Safe from any thread.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(NetLog)

// Milestones of the application's life (login window shown, news arrived), for measuring
// start-up and watching a session: QT_LOGGING_RULES="vocalon.app=true".
Q_DECLARE_LOGGING_CATEGORY(AppLog)
