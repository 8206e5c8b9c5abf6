#pragma once

// Desktop notifications with an action, through the desktop's notification service
// (org.freedesktop.Notifications on the session bus). The calls never wait: a notification
// is sent, and what the service answers arrives through the event loop. A notification
// counts as open until the service says it closed, its action was chosen, or its time ran
// out (plus a grace, as a service may keep it longer without saying); its action stays
// available until MAX_KEPT newer ones push it out. Texts are never read as markup. The
// service's answers are trusted no further than the ids it hands back. Window thread only.

#include <QDBusConnection>
#include <QObject>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

class CDesktopNotifier final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDesktopNotifier)

public:
    static constexpr int MAX_KEPT = 16;
    static constexpr int CALL_TIMEOUT_MS = 5000;
    static constexpr int CLOSE_GRACE_MS = 2000;
    // The action's key: "default" is what most services run on a click on the
    // notification itself; the same action shows as a button under its label.
    static constexpr const char* ACTION_KEY = "open";

    explicit CDesktopNotifier(const QDBusConnection& bus);
    ~CDesktopNotifier() override;

    // The process's notifier, on the session bus unless a test chose another (UseBus).
    static CDesktopNotifier& Instance();
    static void UseBus(const QDBusConnection& bus);

    // Whether a notification service is on the bus now.
    bool Available() const;

    // Shows the title and text for nTimeoutMs with one action labelled strAction.
    // fnOnClosed runs once when it stops being open, for whatever reason (a failed call
    // included); then fnOnAction, once, if that was the user choosing the action (or
    // clicking the notification). False, and neither runs, when no service is on the bus.
    bool Notify(const std::string& strTitle, const std::string& strText,
                const std::string& strAction, int nTimeoutMs, std::function<void()> fnOnAction,
                std::function<void()> fnOnClosed);

    // Notifications sent and not yet closed.
    int OpenCount() const;

private Q_SLOTS:
    // Named slots: D-Bus signals connect by signature only.
    void OnActionInvoked(uint nId, const QString& strKey);
    void OnClosed(uint nId, uint nReason);

private:
    struct CEntry {
        uint64_t nSerial = 0;
        uint nId = 0;  // the service's id, 0 until it answers
        bool bOpen = true;
        std::function<void()> fnOnAction;
        std::function<void()> fnOnClosed;
    };
    CEntry* Find(uint64_t nSerial);
    CEntry* FindId(uint nId);
    void Close(CEntry& entry);
    void Trim();

    QDBusConnection m_bus;
    std::deque<CEntry> m_entries;
    uint64_t m_nNextSerial = 1;
};
