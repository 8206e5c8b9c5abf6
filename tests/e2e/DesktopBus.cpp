// The desktop's D-Bus services for end-to-end tests, on the session bus it is started on:
// a notification service and a tray watcher. It writes one line per event to standard
// output:
//   notify ID PID ACTIONS BODY      a notification (actions joined by "|", the body with
//                                   its line ends written "\n")
//   item PID SERVICE                a tray icon registered
// and takes commands as method calls on org.vocalon.TestDesktop, object "/":
//   InvokeAction(uint id, string key)  the user chose the notification's action
// It ends after a time limit (first argument, seconds; 600 by default).

#include "tests/support/CDesktopBus.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QTimer>

#include <cstdio>

using testing_support::CFakeNotifications;
using testing_support::CFakeTrayWatcher;
using testing_support::CNotification;

namespace {

uint PidOf(const QDBusConnection& bus, const QString& strService) {
    return bus.interface() ? bus.interface()->servicePid(strService).value() : 0;
}

void Say(const QString& strLine) {
    std::printf("%s\n", strLine.toUtf8().constData());
    std::fflush(stdout);
}

class CControl final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vocalon.TestDesktop")

public:
    explicit CControl(CFakeNotifications& notifications) : m_notifications(notifications) {}

public Q_SLOTS:
    void InvokeAction(uint nId, const QString& strKey) {
        m_notifications.InvokeAction(nId, strKey);
    }

private:
    CFakeNotifications& m_notifications;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int nSeconds = argc > 1 ? QString(argv[1]).toInt() : 600;
    QTimer::singleShot(nSeconds * 1000, &app, &QCoreApplication::quit);

    QDBusConnection bus = QDBusConnection::sessionBus();
    CFakeNotifications notifications;
    CFakeTrayWatcher watcher;
    CControl control(notifications);
    notifications.m_fnOnNotify = [&](const CNotification& notification) {
        QString strBody = notification.strBody;
        strBody.replace('\n', "\\n");
        Say(QString("notify %1 %2 %3 %4")
                .arg(notification.nId)
                .arg(PidOf(bus, notification.strSender))
                .arg(notification.actions.join('|'), strBody));
    };
    watcher.m_fnOnRegister = [&](const QString& strItem) {
        const QString strService = strItem.section('/', 0, 0);
        Say(QString("item %1 %2").arg(PidOf(bus, strService)).arg(strItem));
    };
    if (!notifications.Start(bus) || !watcher.Start(bus) ||
        !bus.registerObject("/", &control, QDBusConnection::ExportAllSlots) ||
        !bus.registerService("org.vocalon.TestDesktop")) {
        std::fprintf(stderr, "cannot take the desktop's names on the session bus\n");
        return 1;
    }
    Say("ready");
    return app.exec();
}

#include "DesktopBus.moc"
