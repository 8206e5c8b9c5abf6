#pragma once

// The desktop's D-Bus services in tests: a private bus (its own dbus-daemon), a
// notification service that records what it is asked to show and can say that an action
// was chosen, and a tray watcher (StatusNotifierWatcher) that records the icons that
// register and can activate them. The services live on whatever connection they are given
// and answer from the event loop.

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <vector>

namespace testing_support {

// A dbus-daemon of its own, for the life of the object.
class CPrivateBus {
public:
    CPrivateBus();
    ~CPrivateBus();
    CPrivateBus(const CPrivateBus&) = delete;
    CPrivateBus& operator=(const CPrivateBus&) = delete;

    // Empty when the daemon could not start.
    QString Address() const { return m_strAddress; }
    // A new connection to the bus under its own name.
    QDBusConnection Connect(const QString& strName) const;

private:
    QProcess m_daemon;
    QString m_strAddress;
};

struct CNotification {
    uint nId = 0;
    QString strApp;
    QString strSummary;
    QString strBody;
    QStringList actions;  // key, label, key, label...
    int nTimeoutMs = 0;
    QString strSender;  // the caller's connection
};

// org.freedesktop.Notifications. Ids count up from 1.
class CFakeNotifications final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    // False when the name or the object could not be taken.
    bool Start(const QDBusConnection& bus);
    void Stop();
    const std::vector<CNotification>& Received() const { return m_received; }
    // Called with each notification as it arrives.
    std::function<void(const CNotification&)> m_fnOnNotify;

    // The signals a desktop sends: the user chose an action; the notification went.
    void InvokeAction(uint nId, const QString& strKey);
    void SayClosed(uint nId, uint nReason);

public Q_SLOTS:
    uint Notify(const QString& strApp, uint nReplaces, const QString& strIcon,
                const QString& strSummary, const QString& strBody, const QStringList& actions,
                const QVariantMap& hints, int nTimeoutMs);
    void CloseNotification(uint nId);
    QStringList GetCapabilities();
    QString GetServerInformation(QString& strVendor, QString& strVersion, QString& strSpec);

private:
    QDBusConnection m_bus{QString()};
    std::vector<CNotification> m_received;
    uint m_nNextId = 1;
};

// org.kde.StatusNotifierWatcher, with a host registered, so the toolkit puts its tray icon
// there.
class CFakeTrayWatcher final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ Items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ HostRegistered)
    Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)

public:
    bool Start(const QDBusConnection& bus);
    void Stop();
    // The items as registered: a service name, or an object path of the sender.
    QStringList Items() const { return m_items; }
    bool HostRegistered() const { return true; }
    int ProtocolVersion() const { return 0; }
    std::function<void(const QString&)> m_fnOnRegister;

    // Asks the item to do what a click on the icon does; false when it did not answer.
    bool Activate(const QString& strItem);

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& strService);
    void RegisterStatusNotifierHost(const QString& strService);

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& strService);
    void StatusNotifierHostRegistered();

private:
    QDBusConnection m_bus{QString()};
    QStringList m_items;
};

}  // namespace testing_support
