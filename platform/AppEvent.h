#pragma once

// Application messages between threads and windows.
//
// A message is a custom QEvent whose type is the message number (WM_USER + n, as the
// message table gives them) carrying up to two owned payloads. Workers never hold a
// pointer to a window: they hold a CWindowHandle, which stays valid as a number after
// the window is gone. Posting to a handle whose window is gone frees the payload;
// posting to a live window moves the payload with the event, and Qt frees events still
// queued for a window when it is destroyed. Posts from one thread arrive in order.

#include <QEvent>
#include <QObject>

#include <cstdint>
#include <memory>
#include <utility>

constexpr int WM_USER = 0x0400;

constexpr int UM_TRAY_NOTIFY = WM_USER + 1;
constexpr int UM_LOGIN_RESULT = WM_USER + 2;
constexpr int UM_NEWS_ITEMS = WM_USER + 3;
constexpr int UM_PEER_LIST = WM_USER + 17;
constexpr int UM_NEWS_INDEX = WM_USER + 23;
constexpr int UM_SIGNUP_RESULT = WM_USER + 25;
constexpr int UM_VERSION_NOTICE = WM_USER + 26;
constexpr int UM_NEWS_OFFLINE = WM_USER + 27;
constexpr int UM_FIREWALL_ROUTE = WM_USER + 28;
// Our own: a worker asks the window thread to show a message box on its behalf.
constexpr int UM_WORKER_MESSAGE = WM_USER + 40;
// Our own: the feed a user's address led to, for the sources page.
constexpr int UM_FEED_FOUND = WM_USER + 50;

// The mouse messages carried by UM_TRAY_NOTIFY.
constexpr int WM_LBUTTONDOWN = 0x0201;
constexpr int WM_RBUTTONDOWN = 0x0204;
// A click on the tray icon's notification.
constexpr int NIN_BALLOONUSERCLICK = WM_USER + 5;

// Type-erased owned payload of an application message.
class CEventParam {
public:
    virtual ~CEventParam() = default;
};

template <class T>
class CEventValue final : public CEventParam {
public:
    explicit CEventValue(T value) : m_value(std::move(value)) {}
    T m_value;
};

template <class T>
std::unique_ptr<CEventParam> MakeParam(T value) {
    return std::make_unique<CEventValue<T>>(std::move(value));
}

class CAppEvent final : public QEvent {
public:
    CAppEvent(int nMessage, std::unique_ptr<CEventParam> pWParam,
              std::unique_ptr<CEventParam> pLParam);

    int Message() const { return static_cast<int>(type()); }

    // The payload as T, or null when the slot is empty or holds another type.
    template <class T>
    T* WParam() const {
        return Value<T>(m_pWParam.get());
    }
    template <class T>
    T* LParam() const {
        return Value<T>(m_pLParam.get());
    }

private:
    template <class T>
    static T* Value(CEventParam* pParam) {
        auto* pValue = dynamic_cast<CEventValue<T>*>(pParam);
        return pValue ? &pValue->m_value : nullptr;
    }

    std::unique_ptr<CEventParam> m_pWParam;
    std::unique_ptr<CEventParam> m_pLParam;
};

// A number that names a live QObject for as long as it is registered; 0 names nothing.
using CWindowHandle = std::uint64_t;

// Registers its owner under a fresh handle for the registration's lifetime. Make it a
// member of the receiving object so the handle dies before the object does.
class CHandleRegistration final {
public:
    explicit CHandleRegistration(QObject* pOwner);
    ~CHandleRegistration();
    CHandleRegistration(const CHandleRegistration&) = delete;
    CHandleRegistration& operator=(const CHandleRegistration&) = delete;

    CWindowHandle Handle() const { return m_hWnd; }

private:
    CWindowHandle m_hWnd;
};

// True while a window is registered under the handle. Any thread.
bool IsWindow(CWindowHandle hWnd);

// Posts the message to the window; returns false, freeing the payload, when it is gone.
// Any thread.
bool PostAppEvent(CWindowHandle hWnd, int nMessage, std::unique_ptr<CEventParam> pWParam = {},
                  std::unique_ptr<CEventParam> pLParam = {});

// Typed messages. Each message's payload types are declared once, next to the code that
// posts it, by specialising CAppMessage:
//
//   template <> struct CAppMessage<UM_LOGIN_RESULT> {
//       using WParam = std::string;  // code
//       using LParam = std::string;  // text
//   };
//
// PostMessageTo and ParamOf take the types from there, so a payload of the wrong type does
// not compile, and an event posted around them with another type stops the program
// loudly instead of arriving as a silent null.
struct CNoParam {};

template <int nMessage>
struct CAppMessage;

template <int nMessage>
bool PostMessageTo(CWindowHandle hWnd, typename CAppMessage<nMessage>::WParam wParam = {},
                   typename CAppMessage<nMessage>::LParam lParam = {}) {
    return PostAppEvent(hWnd, nMessage, MakeParam(std::move(wParam)), MakeParam(std::move(lParam)));
}

// Reports a payload that does not match its message's declared type, and aborts.
[[noreturn]] void BadAppEventPayload(int nMessage);

template <int nMessage, class T>
T& CheckedPayload(const CAppEvent& event, T* pValue) {
    if (event.Message() != nMessage || !pValue) {
        BadAppEventPayload(nMessage);
    }
    return *pValue;
}

// The payloads of an event that is message nMessage (check Message() first).
template <int nMessage>
typename CAppMessage<nMessage>::WParam& WParamOf(const CAppEvent& event) {
    return CheckedPayload<nMessage>(event, event.WParam<typename CAppMessage<nMessage>::WParam>());
}
template <int nMessage>
typename CAppMessage<nMessage>::LParam& LParamOf(const CAppEvent& event) {
    return CheckedPayload<nMessage>(event, event.LParam<typename CAppMessage<nMessage>::LParam>());
}

// The application's main window, which workers find at the time they post.
void SetMainWindowHandle(CWindowHandle hWnd);
CWindowHandle MainWindowHandle();
bool PostToMainWindow(int nMessage, std::unique_ptr<CEventParam> pWParam = {},
                      std::unique_ptr<CEventParam> pLParam = {});
template <int nMessage>
bool PostMessageToMain(typename CAppMessage<nMessage>::WParam wParam = {},
                       typename CAppMessage<nMessage>::LParam lParam = {}) {
    return PostMessageTo<nMessage>(MainWindowHandle(), std::move(wParam), std::move(lParam));
}
