#include "tests/support/CDesktopBus.h"

#include <QDBusMessage>
#include <QStandardPaths>

namespace testing_support {

namespace {

const char* const kNotificationsName = "org.freedesktop.Notifications";
const char* const kNotificationsPath = "/org/freedesktop/Notifications";
const char* const kWatcherName = "org.kde.StatusNotifierWatcher";
const char* const kWatcherPath = "/StatusNotifierWatcher";
constexpr int kStartMs = 5000;

}  // namespace

CPrivateBus::CPrivateBus() {
    const QString strDaemon = QStandardPaths::findExecutable("dbus-daemon");
    if (strDaemon.isEmpty()) {
        return;
    }
    m_daemon.start(strDaemon, {"--session", "--nofork", "--nopidfile", "--print-address=1"});
    if (!m_daemon.waitForStarted(kStartMs)) {
        return;
    }
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(kStartMs)) {
    }
    m_strAddress = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

CPrivateBus::~CPrivateBus() {
    m_daemon.kill();
    m_daemon.waitForFinished(kStartMs);
}

QDBusConnection CPrivateBus::Connect(const QString& strName) const {
    QDBusConnection::disconnectFromBus(strName);
    return QDBusConnection::connectToBus(m_strAddress, strName);
}

bool CFakeNotifications::Start(const QDBusConnection& bus) {
    m_bus = bus;
    return m_bus.registerObject(kNotificationsPath, this, QDBusConnection::ExportAllSlots) &&
           m_bus.registerService(kNotificationsName);
}

void CFakeNotifications::Stop() {
    m_bus.unregisterService(kNotificationsName);
    m_bus.unregisterObject(kNotificationsPath);
}

uint CFakeNotifications::Notify(const QString& strApp, uint /*nReplaces*/,
                                const QString& /*strIcon*/, const QString& strSummary,
                                const QString& strBody, const QStringList& actions,
                                const QVariantMap& /*hints*/, int nTimeoutMs) {
    CNotification notification{m_nNextId++,
                               strApp,
                               strSummary,
                               strBody,
                               actions,
                               nTimeoutMs,
                               calledFromDBus() ? message().service() : QString()};
    m_received.push_back(notification);
    if (m_fnOnNotify) {
        m_fnOnNotify(notification);
    }
    return notification.nId;
}

void CFakeNotifications::CloseNotification(uint nId) { SayClosed(nId, 3); }

QStringList CFakeNotifications::GetCapabilities() { return {"actions", "body"}; }

QString CFakeNotifications::GetServerInformation(QString& strVendor, QString& strVersion,
                                                 QString& strSpec) {
    strVendor = "tests";
    strVersion = "1";
    strSpec = "1.2";
    return "fake notifications";
}

void CFakeNotifications::InvokeAction(uint nId, const QString& strKey) {
    QDBusMessage signal =
        QDBusMessage::createSignal(kNotificationsPath, kNotificationsName, "ActionInvoked");
    signal << nId << strKey;
    m_bus.send(signal);
}

void CFakeNotifications::SayClosed(uint nId, uint nReason) {
    QDBusMessage signal =
        QDBusMessage::createSignal(kNotificationsPath, kNotificationsName, "NotificationClosed");
    signal << nId << nReason;
    m_bus.send(signal);
}

bool CFakeTrayWatcher::Start(const QDBusConnection& bus) {
    m_bus = bus;
    return m_bus.registerObject(kWatcherPath, this,
                                QDBusConnection::ExportAllSlots |
                                    QDBusConnection::ExportAllSignals |
                                    QDBusConnection::ExportAllProperties) &&
           m_bus.registerService(kWatcherName);
}

void CFakeTrayWatcher::Stop() {
    m_bus.unregisterService(kWatcherName);
    m_bus.unregisterObject(kWatcherPath);
}

void CFakeTrayWatcher::RegisterStatusNotifierItem(const QString& strService) {
    // An item may name itself by a path on its own connection instead.
    const QString strItem =
        strService.startsWith('/') ? message().service() + strService : strService;
    m_items.push_back(strItem);
    if (m_fnOnRegister) {
        m_fnOnRegister(strItem);
    }
    emit StatusNotifierItemRegistered(strItem);
}

void CFakeTrayWatcher::RegisterStatusNotifierHost(const QString& /*strService*/) {
    emit StatusNotifierHostRegistered();
}

bool CFakeTrayWatcher::Activate(const QString& strItem) {
    const int nPath = static_cast<int>(strItem.indexOf('/'));
    const QString strService = nPath < 0 ? strItem : strItem.left(nPath);
    const QString strPath = nPath < 0 ? QString("/StatusNotifierItem") : strItem.mid(nPath);
    QDBusMessage call = QDBusMessage::createMethodCall(strService, strPath,
                                                       "org.kde.StatusNotifierItem", "Activate");
    call << 0 << 0;
    return m_bus.call(call, QDBus::Block, kStartMs).type() == QDBusMessage::ReplyMessage;
}

}  // namespace testing_support
