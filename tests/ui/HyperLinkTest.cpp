#include "ui/CHyperLink.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

int CountPixels(const QImage& image, QRgb rgb) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += image.pixel(x, y) == rgb ? 1 : 0;
        }
    }
    return n;
}

}  // namespace

TEST(HyperLink, drawsBlueWithTheUnderlinedFontOfItsFirstPaint) {
    CHyperLink link("Need To Register? Click Here!");
    link.resize(220, 30);
    QFont first = link.font();
    first.setPointSize(11);
    link.setFont(first);
    EXPECT_FALSE(link.UnderlineFont().has_value());
    QImage image = link.grab().toImage();
    EXPECT_GT(CountPixels(image, qRgb(0, 0, 255)), 20);
    ASSERT_TRUE(link.UnderlineFont().has_value());
    EXPECT_TRUE(link.UnderlineFont()->underline());
    EXPECT_EQ(link.UnderlineFont()->pointSize(), 11);

    QFont later = first;
    later.setPointSize(20);
    link.setFont(later);
    link.grab();
    EXPECT_EQ(link.UnderlineFont()->pointSize(), 11);
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
}

TEST(HyperLink, wrapsLongTextFromTheTop) {
    CHyperLink link("a link text that is much too wide for its narrow control");
    link.resize(80, 200);
    QImage image = link.grab().toImage();
    int nLastBlueRow = -1;
    int nFirstBlueRow = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == qRgb(0, 0, 255)) {
                nFirstBlueRow = nFirstBlueRow < 0 ? y : nFirstBlueRow;
                nLastBlueRow = y;
            }
        }
    }
    ASSERT_GE(nFirstBlueRow, 0);
    EXPECT_LT(nFirstBlueRow, 10);                                          // drawn from the top
    EXPECT_GT(nLastBlueRow - nFirstBlueRow, link.fontMetrics().height());  // several lines
}
