#include "platform/ResourceIds.h"
#include "platform/Tray.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <vector>

#include <gtest/gtest.h>

TEST(Tray, setChangesIconAndTipWithDefaultsAndLimits) {
    EXPECT_FALSE(TraySet(IDI_NEWS, "before add"));
    TrayAdd();
    CTrayState state = TrayState();
    EXPECT_TRUE(state.bAdded);
    EXPECT_EQ(state.nIconId, IDI_MAIN);
    EXPECT_EQ(state.strTip, "Vocalon 2.0");

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
