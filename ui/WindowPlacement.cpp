#include "ui/WindowPlacement.h"

#include "platform/Profile.h"

QRect LoadWindowRect(const std::string& strSection, const std::string& strPrefix,
                     const QRect& rcDefault) {
    return QRect(GetProfileInt(strSection, strPrefix + "x", rcDefault.x()),
                 GetProfileInt(strSection, strPrefix + "y", rcDefault.y()),
                 GetProfileInt(strSection, strPrefix + "cx", rcDefault.width()),
                 GetProfileInt(strSection, strPrefix + "cy", rcDefault.height()));
}

void SaveWindowRect(const std::string& strSection, const std::string& strPrefix,
                    const QRect& rect) {
    WriteProfileInt(strSection, strPrefix + "x", rect.x());
    WriteProfileInt(strSection, strPrefix + "y", rect.y());
    WriteProfileInt(strSection, strPrefix + "cx", rect.width());
    WriteProfileInt(strSection, strPrefix + "cy", rect.height());
}
