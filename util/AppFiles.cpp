#include "util/AppFiles.h"

#include "platform/Profile.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

const char* const MAP_SEPARATOR = "<!!div!!>";

namespace {

// What a plain create would give a new file: 0666 less the process's umask. The umask is
// read from /proc, because umask() can only be read by changing it, which would race
// with other threads creating files.
mode_t DefaultFileMode() {
    static const mode_t s_mode = [] {
        mode_t mask = 022;
        std::string strStatus;
        if (ReadTextFile("/proc/self/status", strStatus)) {
            size_t nPos = strStatus.find("Umask:");
            if (nPos != std::string::npos) {
                mask = static_cast<mode_t>(std::strtoul(strStatus.c_str() + nPos + 6, nullptr, 8));
            }
        }
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return s_mode;
}

}  // namespace

std::string AppDirPath(const std::string& strFileName) {
    return GetProfileString("Prefs", "AppDir", "") + "/" + strFileName;
}

bool SaveTextFile(const std::string& strPath, const std::string& strText) {
    // Write a temporary file beside the target and rename it over the target only when
    // every byte is on disk: readers see the old file or the new one, never a part.
    std::string strTemp = strPath + ".XXXXXX";
    int fd = ::mkstemp(strTemp.data());
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    mode_t mode = ::stat(strPath.c_str(), &st) == 0 ? (st.st_mode & 07777) : DefaultFileMode();
    bool bOk = ::fchmod(fd, mode) == 0;
    for (size_t nDone = 0; bOk && nDone < strText.size();) {
        ssize_t n = ::write(fd, strText.data() + nDone, strText.size() - nDone);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        bOk = n > 0;
        nDone += bOk ? static_cast<size_t>(n) : 0;
    }
    bOk = bOk && ::fsync(fd) == 0;
    bOk = ::close(fd) == 0 && bOk;
    bOk = bOk && ::rename(strTemp.c_str(), strPath.c_str()) == 0;
    if (!bOk) {
        ::unlink(strTemp.c_str());
    }
    return bOk;
}

bool ReadTextFile(const std::string& strPath, std::string& strText) {
    QFile file(QString::fromStdString(strPath));
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return false;
    }
    strText.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
    return true;
}

std::vector<std::string> SplitLines(const std::string& strText) {
    std::vector<std::string> lines;
    size_t nPos = 0;
    while (nPos < strText.size()) {
        size_t nEnd = strText.find('\n', nPos);
        size_t nNext = nEnd == std::string::npos ? strText.size() : nEnd + 1;
        size_t nLineEnd = nEnd == std::string::npos ? strText.size() : nEnd;
        if (nEnd != std::string::npos && nLineEnd > nPos && strText[nLineEnd - 1] == '\r') {
            --nLineEnd;
        }
        lines.emplace_back(strText, nPos, nLineEnd - nPos);
        nPos = nNext;
    }
    return lines;
}

std::string ToCrLf(const std::string& strText) {
    std::string strOut;
    strOut.reserve(strText.size() + strText.size() / 32);
    for (char c : strText) {
        if (c == '\n') {
            strOut += '\r';
        }
        strOut += c;
    }
    return strOut;
}

bool SaveMapFile(const std::string& strFileName, const CStringMap& map) {
    std::string strText;
    for (const auto& [strKey, strValue] : map) {
        strText += strKey;
        strText += MAP_SEPARATOR;
        strText += strValue;
        strText += "\r\n";
    }
    return SaveTextFile(AppDirPath(strFileName), strText);
}

void LoadMapFile(const std::string& strFileName, CStringMap& map) {
    std::string strText;
    if (!ReadTextFile(AppDirPath(strFileName), strText)) {
        return;
    }
    const std::string strSeparator = MAP_SEPARATOR;
    for (std::string& strLine : SplitLines(strText)) {
        size_t nSplit = strLine.find(strSeparator);
        if (nSplit == std::string::npos) {
            continue;
        }
        map[strLine.substr(0, nSplit)] = strLine.substr(nSplit + strSeparator.size());
    }
}

bool SaveListFile(const std::string& strFileName, const std::vector<std::string>& arr) {
    std::string strText;
    for (const std::string& strEntry : arr) {
        strText += strEntry;
        strText += "\r\n";
    }
    return SaveTextFile(AppDirPath(strFileName), strText);
}

void LoadListFile(const std::string& strFileName, std::vector<std::string>& arr) {
    std::string strText;
    if (!ReadTextFile(AppDirPath(strFileName), strText)) {
        return;
    }
    for (std::string& strLine : SplitLines(strText)) {
        if (!strLine.empty()) {
            arr.push_back(std::move(strLine));
        }
    }
}
