#include "util/Settings.h"

#include "platform/Profile.h"

namespace {

// A user value read before anyone logged in goes to "Prefs", as the user section does.
std::string SectionOf(const char* pszSection, const std::string& strUserSection) {
    if (pszSection) {
        return pszSection;
    }
    return strUserSection.empty() ? std::string(SECTION_PREFS) : strUserSection;
}

}  // namespace

int ReadSetting(const CIntSetting& setting, const std::string& strUserSection) {
    return GetProfileIntInRange(SectionOf(setting.pszSection, strUserSection), setting.pszKey,
                                setting.nDefault, setting.nMin, setting.nMax);
}

std::string ReadSetting(const CStringSetting& setting, const std::string& strUserSection) {
    return GetProfileString(SectionOf(setting.pszSection, strUserSection), setting.pszKey,
                            setting.pszDefault);
}

bool ReadFlag(const CIntSetting& setting, const std::string& strUserSection) {
    return ReadSetting(setting, strUserSection) != 0;
}

bool WriteSetting(const CIntSetting& setting, int nValue, const std::string& strUserSection) {
    return WriteProfileInt(SectionOf(setting.pszSection, strUserSection), setting.pszKey, nValue);
}

bool WriteSetting(const CStringSetting& setting, const std::string& strValue,
                  const std::string& strUserSection) {
    return WriteProfileString(SectionOf(setting.pszSection, strUserSection), setting.pszKey,
                              strValue);
}

bool RemoveSetting(const CStringSetting& setting, const std::string& strUserSection) {
    return RemoveProfileEntry(SectionOf(setting.pszSection, strUserSection), setting.pszKey);
}
