#include "gui/ResourceIds.h"
#include "gui/Tray.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QTextDocument>
#include <QToolButton>

#include "platform/AppEvent.h"
#include "tests/support/TestSupport.h"

#include <vector>

#include <gtest/gtest.h>

TEST(Tray, setChangesIconAndTipWithDefaultsAndLimits) {
    EXPECT_FALSE(TraySet(IDI_NEWS, "before add"));
    TrayAdd();
    CTrayState state = TrayState();
    EXPECT_TRUE(state.bAdded);
    EXPECT_EQ(state.nIconId, IDI_MAIN);
    EXPECT_EQ(state.strTip, "Vocalon 2.0");
    // Offscreen there is no tray host: the icon gets a window of its own.
    EXPECT_EQ(state.bStandIn, !TrayAvailable());

    TraySet(IDI_OFFLINE, "Offline");
    EXPECT_EQ(TrayState().nIconId, IDI_OFFLINE);
    EXPECT_EQ(TrayState().strTip, "Offline");

    TraySet(IDI_MAIN, "");
    EXPECT_EQ(TrayState().strTip, "Vocalon 2.0");

    TraySet(IDI_UPDATING, std::string(100, 'x'));
    EXPECT_EQ(TrayState().strTip, std::string(63, 'x'));

    // 62 ASCII bytes and a two-byte letter: the letter would be cut in half, so it goes.
    TraySet(IDI_UPDATING, std::string(62, 'x') + "\xC3\xA9");
    EXPECT_EQ(TrayState().strTip, std::string(62, 'x'));

    EXPECT_TRUE(TrayRemove());
    EXPECT_FALSE(TrayState().bAdded);
    EXPECT_FALSE(TrayRemove());
}

TEST(Tray, everyIconIdHasADistinctPicture) {
    const int ids[] = {IDI_MAIN, IDI_UPDATING, IDI_NEWS, IDI_OFFLINE, IDI_NEXT, IDI_PREV, IDI_SEND};
    std::vector<QImage> images;
    for (int nId : ids) {
        QIcon icon = LoadAppIcon(nId);
        ASSERT_FALSE(icon.isNull()) << nId;
        QImage image = icon.pixmap(32, 32).toImage();
        ASSERT_FALSE(image.isNull()) << nId;
        for (const QImage& other : images) {
            EXPECT_NE(image, other) << nId;
        }
        images.push_back(image);
    }
    EXPECT_TRUE(LoadAppIcon(999).isNull());
}

namespace {

class CTrayReceiver : public QObject {
public:
    CHandleRegistration m_handle{this};
    std::vector<int> m_mouse;

protected:
    bool event(QEvent* pEvent) override {
        auto* pApp = dynamic_cast<CAppEvent*>(pEvent);
        if (pApp && pApp->Message() == UM_TRAY_NOTIFY && pApp->WParam<int>() &&
            *pApp->WParam<int>() == TRAY_ICON_ID && pApp->LParam<int>()) {
            m_mouse.push_back(*pApp->LParam<int>());
            return true;
        }
        return QObject::event(pEvent);
    }
};

}  // namespace

TEST(Tray, standInWindowTakesClicksForTheMainWindow) {
    if (TrayAvailable()) {
        GTEST_SKIP() << "a tray host is present";
    }
    CTrayReceiver receiver;
    SetMainWindowHandle(receiver.m_handle.Handle());
    TrayAdd();
    QToolButton* pButton = nullptr;
    for (QWidget* pTop : QApplication::topLevelWidgets()) {
        if (pTop->isVisible() && (pButton = pTop->findChild<QToolButton*>())) {
            break;
        }
    }
    ASSERT_NE(pButton, nullptr);
    pButton->click();
    emit pButton->customContextMenuRequested(QPoint(1, 1));
    EXPECT_TRUE(testing_support::WaitFor([&] { return receiver.m_mouse.size() == 2; }));
    EXPECT_EQ(receiver.m_mouse, (std::vector<int>{WM_LBUTTONDOWN, WM_RBUTTONDOWN}));
    // Closing it must not strand the user.
    pButton->window()->close();
    EXPECT_TRUE(pButton->window()->isVisible());
    TrayRemove();
    SetMainWindowHandle(0);
}

TEST(Tray, notificationTextsAreNeverMarkup) {
    const QString str = NotificationText("Refused: <img src=http://x/a.png> & <b>bold</b>");
    EXPECT_FALSE(str.contains('<'));
    EXPECT_FALSE(str.contains('>'));
    EXPECT_FALSE(Qt::mightBeRichText(str));
    EXPECT_TRUE(str.startsWith("Refused: "));
}
