#include "gui/Shell.h"

#include "gui/ResourceIds.h"
#include "platform/CWorkers.h"
#include "util/Version.h"

#include <canberra.h>

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QIcon>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <utility>

bool ShellOpen(const std::string& strUrl) {
    QUrl url = QUrl::fromEncoded(QByteArray::fromStdString(strUrl), QUrl::TolerantMode);
    return url.isValid() && QDesktopServices::openUrl(url);
}

namespace {

// The longest a sound may keep its worker; the theme's event sounds last a second or two.
constexpr std::chrono::seconds kSoundLimit{5};

std::atomic<bool> s_bPlaying{false};
SoundEventPlayer s_player;

struct CPlayback {
    std::mutex mutex;
    std::condition_variable ended;
    bool bEnded = false;
};

void OnPlayed(ca_context*, uint32_t, int, void* pUser) {
    auto* pPlayback = static_cast<CPlayback*>(pUser);
    std::lock_guard<std::mutex> lock(pPlayback->mutex);
    pPlayback->bEnded = true;
    pPlayback->ended.notify_all();
}

// Runs on a worker: opening the sound system may wait on a server that is not there.
void PlayThemeEvent(const std::string& strEventId) {
    CPlayback playback;
    ca_context* pContext = nullptr;
    if (ca_context_create(&pContext) != CA_SUCCESS) {
        return;
    }
    ca_context_change_props(pContext, CA_PROP_APPLICATION_NAME, PRODUCT_NAME,
                            CA_PROP_APPLICATION_ID, "net.vocalon.Vocalon", nullptr);
    ca_proplist* pProps = nullptr;
    int nResult = ca_proplist_create(&pProps);
    if (nResult == CA_SUCCESS) {
        ca_proplist_sets(pProps, CA_PROP_EVENT_ID, strEventId.c_str());
        nResult = ca_context_play_full(pContext, 0, pProps, OnPlayed, &playback);
        ca_proplist_destroy(pProps);
    }
    if (nResult == CA_SUCCESS) {
        // Destroying the context cuts the sound off: wait for its end, a stop or the limit,
        // waking often enough to see a stop.
        std::unique_lock<std::mutex> lock(playback.mutex);
        const auto deadline = std::chrono::steady_clock::now() + kSoundLimit;
        while (!playback.bEnded && !CWorkers::Stopping() &&
               std::chrono::steady_clock::now() < deadline) {
            playback.ended.wait_for(lock, std::chrono::milliseconds(100));
        }
    }
    // The callback may still come while the context goes; playback outlives it.
    ca_context_destroy(pContext);
}

void PlayOnWorker(const std::string& strEventId) {
    if (s_bPlaying.exchange(true)) {
        return;
    }
    if (!CWorkers::Start("sound", [strEventId] {
            PlayThemeEvent(strEventId);
            s_bPlaying = false;
        })) {
        s_bPlaying = false;
    }
}

}  // namespace

void PlayNamedSound(const std::string& strName) {
    const std::string strEventId = SoundEventOf(strName);
    if (s_player) {
        s_player(strEventId);
    } else {
        PlayOnWorker(strEventId);
    }
}

std::string SoundEventOf(const std::string& strName) {
    return strName == "Default Beep" ? "message-new-instant" : "bell";
}

SoundEventPlayer SetSoundEventPlayer(SoundEventPlayer player) {
    return std::exchange(s_player, std::move(player));
}

QCursor HandCursor() { return QCursor(Qt::PointingHandCursor); }

namespace {

QIcon RenderAppIcon(int nIconId) {
    const char* pszFile = nullptr;
    switch (nIconId) {
        case IDI_MAIN: pszFile = ":/icons/main.svg"; break;
        case IDI_UPDATING: pszFile = ":/icons/updating.svg"; break;
        case IDI_NEWS: pszFile = ":/icons/news.svg"; break;
        case IDI_OFFLINE: pszFile = ":/icons/offline.svg"; break;
        case IDI_NEXT: pszFile = ":/icons/next.svg"; break;
        case IDI_PREV: pszFile = ":/icons/prev.svg"; break;
        case IDI_SEND: pszFile = ":/icons/send.svg"; break;
        default: return QIcon();
    }
    // Rendered once at the sizes trays and buttons ask for: the tray blink sets an icon
    // twice a second for hours, and rendering SVG each time was most of its cost.
    const QIcon svg(QString::fromLatin1(pszFile));
    QIcon icon;
    for (int nSize : {16, 22, 24, 32, 48, 64}) {
        icon.addPixmap(svg.pixmap(nSize, nSize));
    }
    return icon;
}

}  // namespace

QIcon LoadAppIcon(int nIconId) {
    // Icons are made on the window thread only, so the cache needs no lock. Pixmaps must go
    // before the application object does.
    static std::map<int, QIcon>* s_pIcons = nullptr;
    if (!s_pIcons) {
        s_pIcons = new std::map<int, QIcon>;
        qAddPostRoutine([] {
            delete s_pIcons;
            s_pIcons = nullptr;
        });
    }
    auto it = s_pIcons->find(nIconId);
    if (it == s_pIcons->end()) {
        it = s_pIcons->emplace(nIconId, RenderAppIcon(nIconId)).first;
    }
    return it->second;
}
