#include "ui/WindowPlacement.h"

#include "platform/Profile.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <climits>

namespace {

// Far beyond any desktop, yet small enough that x + width cannot overflow.
constexpr int kMaxCoordinate = 1 << 20;
constexpr int kMaxExtent = 1 << 14;

// Squared distance between a point and a rectangle, 0 inside it.
long long DistanceSquared(const QRect& rect, const QPoint& point) {
    const long long dx = std::max({rect.left() - point.x(), 0, point.x() - rect.right()});
    const long long dy = std::max({rect.top() - point.y(), 0, point.y() - rect.bottom()});
    return dx * dx + dy * dy;
}

}  // namespace

QRect LoadWindowRect(const std::string& strSection, const std::string& strPrefix,
                     const QRect& rcDefault) {
    auto read = [&](const char* pszName, int nDefault, int nMin, int nMax) {
        return GetProfileIntInRange(strSection, strPrefix + pszName, nDefault, nMin, nMax);
    };
    return QRect(read("x", rcDefault.x(), -kMaxCoordinate, kMaxCoordinate),
                 read("y", rcDefault.y(), -kMaxCoordinate, kMaxCoordinate),
                 read("cx", rcDefault.width(), 1, kMaxExtent),
                 read("cy", rcDefault.height(), 1, kMaxExtent));
}

void SaveWindowRect(const std::string& strSection, const std::string& strPrefix,
                    const QRect& rect) {
    CProfileBatch batch;
    WriteProfileInt(strSection, strPrefix + "x", rect.x());
    WriteProfileInt(strSection, strPrefix + "y", rect.y());
    WriteProfileInt(strSection, strPrefix + "cx", rect.width());
    WriteProfileInt(strSection, strPrefix + "cy", rect.height());
}

QRect FitOnScreens(const QRect& rect, const QList<QRect>& screens) {
    if (screens.isEmpty()) {
        return rect;
    }
    const QRect* pNearest = nullptr;
    long long nBest = LLONG_MAX;
    for (const QRect& screen : screens) {
        if (screen.intersects(rect)) {
            return rect;
        }
        const long long nDistance = DistanceSquared(screen, rect.center());
        if (nDistance < nBest) {
            nBest = nDistance;
            pNearest = &screen;
        }
    }
    QRect fitted(rect.topLeft(), rect.size().boundedTo(pNearest->size()));
    fitted.moveLeft(
        std::clamp(fitted.left(), pNearest->left(), pNearest->right() - fitted.width() + 1));
    fitted.moveTop(
        std::clamp(fitted.top(), pNearest->top(), pNearest->bottom() - fitted.height() + 1));
    return fitted;
}

QRect FitOnScreens(const QRect& rect) {
    QList<QRect> screens;
    for (const QScreen* pScreen : QGuiApplication::screens()) {
        screens.push_back(pScreen->availableGeometry());
    }
    return FitOnScreens(rect, screens);
}

bool RaiseIfOpen(QWidget* pWindow) {
    if (!pWindow) {
        return false;
    }
    pWindow->raise();
    pWindow->activateWindow();
    return true;
}

bool WindowsCanBePlaced() { return !QGuiApplication::platformName().startsWith("wayland"); }
