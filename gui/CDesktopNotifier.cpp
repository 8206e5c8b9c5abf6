#include "gui/CDesktopNotifier.h"

#include "gui/Tray.h"
#include "util/Version.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>
#include <QVariantMap>

#include <memory>

namespace {

const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";
const char* const kInterface = "org.freedesktop.Notifications";
constexpr int kAskTimeoutMs = 1000;

std::unique_ptr<CDesktopNotifier>& Current() {
    static std::unique_ptr<CDesktopNotifier> s_pNotifier;
    return s_pNotifier;
}

}  // namespace

CDesktopNotifier::CDesktopNotifier(const QDBusConnection& bus) : m_bus(bus) {
    // Signals from whoever owns the service's name now or later; SLOT() names because a
    // D-Bus signal has no C++ signature to point at.
    m_bus.connect(kService, kPath, kInterface, "ActionInvoked", this,
                  SLOT(OnActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, "NotificationClosed", this,
                  SLOT(OnClosed(uint, uint)));
}

CDesktopNotifier::~CDesktopNotifier() {
    m_bus.disconnect(kService, kPath, kInterface, "ActionInvoked", this,
                     SLOT(OnActionInvoked(uint, QString)));
    m_bus.disconnect(kService, kPath, kInterface, "NotificationClosed", this,
                     SLOT(OnClosed(uint, uint)));
}

CDesktopNotifier& CDesktopNotifier::Instance() {
    if (!Current()) {
        Current() = std::make_unique<CDesktopNotifier>(QDBusConnection::sessionBus());
    }
    return *Current();
}

void CDesktopNotifier::UseBus(const QDBusConnection& bus) {
    Current() = std::make_unique<CDesktopNotifier>(bus);
}

bool CDesktopNotifier::Available() const {
    if (!m_bus.isConnected()) {
        return false;
    }
    // The bus itself answers at once; it is asked with a deadline all the same.
    QDBusMessage ask = QDBusMessage::createMethodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner");
    ask << QString(kService);
    const QDBusMessage answer = m_bus.call(ask, QDBus::Block, kAskTimeoutMs);
    return answer.type() == QDBusMessage::ReplyMessage && !answer.arguments().isEmpty() &&
           answer.arguments().constFirst().toBool();
}

bool CDesktopNotifier::Notify(const std::string& strTitle, const std::string& strText,
                              const std::string& strAction, int nTimeoutMs,
                              std::function<void()> fnOnAction, std::function<void()> fnOnClosed) {
    if (!Available()) {
        return false;
    }
    const QString strLabel = QString::fromStdString(strAction);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
    call << QString(PRODUCT_NAME) << 0u << QString("vocalon") << NotificationText(strTitle)
         << NotificationText(strText) << QStringList{ACTION_KEY, strLabel, "default", strLabel}
         << QVariantMap{} << qint32(nTimeoutMs);

    const uint64_t nSerial = m_nNextSerial++;
    m_entries.push_back(CEntry{nSerial, 0, true, std::move(fnOnAction), std::move(fnOnClosed)});
    Trim();
    auto* pWatcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, CALL_TIMEOUT_MS), this);
    connect(pWatcher, &QDBusPendingCallWatcher::finished, this,
            [this, nSerial](QDBusPendingCallWatcher* pCall) {
                pCall->deleteLater();
                const QDBusPendingReply<uint> reply = *pCall;
                CEntry* pEntry = Find(nSerial);
                if (!pEntry) {
                    return;
                }
                // An id of 0 or one already in use cannot be told apart from the others.
                if (reply.isError() || reply.value() == 0 || FindId(reply.value())) {
                    Close(*pEntry);
                    return;
                }
                pEntry->nId = reply.value();
            });
    // Not every service says when a notification goes; past its time it no longer counts.
    QTimer::singleShot(nTimeoutMs + CLOSE_GRACE_MS, this, [this, nSerial] {
        if (CEntry* pEntry = Find(nSerial)) {
            Close(*pEntry);
        }
    });
    return true;
}

int CDesktopNotifier::OpenCount() const {
    int nOpen = 0;
    for (const CEntry& entry : m_entries) {
        nOpen += entry.bOpen ? 1 : 0;
    }
    return nOpen;
}

void CDesktopNotifier::OnActionInvoked(uint nId, const QString& strKey) {
    CEntry* pEntry = FindId(nId);
    if (!pEntry || (strKey != ACTION_KEY && strKey != "default")) {
        return;
    }
    // Once: the entry is spent before the action runs, whatever the action opens.
    const std::function<void()> fnOnAction = std::move(pEntry->fnOnAction);
    pEntry->fnOnAction = {};
    pEntry->nId = 0;
    Close(*pEntry);
    if (fnOnAction) {
        fnOnAction();
    }
}

void CDesktopNotifier::OnClosed(uint nId, uint /*nReason*/) {
    if (CEntry* pEntry = FindId(nId)) {
        // The service forgets the id, and may hand it out again.
        pEntry->fnOnAction = {};
        pEntry->nId = 0;
        Close(*pEntry);
    }
}

CDesktopNotifier::CEntry* CDesktopNotifier::Find(uint64_t nSerial) {
    for (CEntry& entry : m_entries) {
        if (entry.nSerial == nSerial) {
            return &entry;
        }
    }
    return nullptr;
}

CDesktopNotifier::CEntry* CDesktopNotifier::FindId(uint nId) {
    if (nId == 0) {
        return nullptr;
    }
    for (CEntry& entry : m_entries) {
        if (entry.nId == nId) {
            return &entry;
        }
    }
    return nullptr;
}

void CDesktopNotifier::Close(CEntry& entry) {
    if (!entry.bOpen) {
        return;
    }
    entry.bOpen = false;
    const std::function<void()> fnOnClosed = std::move(entry.fnOnClosed);
    entry.fnOnClosed = {};
    if (fnOnClosed) {
        fnOnClosed();
    }
}

void CDesktopNotifier::Trim() {
    while (m_entries.size() > static_cast<size_t>(MAX_KEPT)) {
        CEntry oldest = std::move(m_entries.front());
        m_entries.pop_front();
        if (oldest.bOpen && oldest.fnOnClosed) {
            oldest.fnOnClosed();
        }
    }
}
