#include "util/AppFiles.h"

#include "util/Settings.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <ctime>

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

constexpr char kTempSuffix[] = ".XXXXXX";
constexpr size_t kTempRandom = 6;  // the X's that mkstemp fills with letters and digits

// A temporary younger than this may belong to a save that has yet to lock it.
constexpr std::time_t kStaleTempAge = 60;

bool IsTempNameOf(const std::string& strName, const std::string& strBase) {
    if (strName.size() != strBase.size() + 1 + kTempRandom ||
        strName.compare(0, strBase.size(), strBase) != 0 || strName[strBase.size()] != '.') {
        return false;
    }
    for (size_t i = strBase.size() + 1; i < strName.size(); ++i) {
        char c = strName[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

// Removes the temporaries that earlier saves of strPath left when they were killed. A
// save holds a lock on its temporary for as long as it writes, and the lock dies with
// its process, so a temporary that can be locked and is not brand new is nobody's.
void RemoveStaleTemps(const std::string& strPath) {
    size_t nSlash = strPath.rfind('/');
    std::string strDir = nSlash == std::string::npos ? "." : strPath.substr(0, nSlash);
    std::string strBase = nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
    DIR* pDir = ::opendir(strDir.empty() ? "/" : strDir.c_str());
    if (!pDir) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    while (const dirent* pEntry = ::readdir(pDir)) {
        std::string strName = pEntry->d_name;
        if (!IsTempNameOf(strName, strBase)) {
            continue;
        }
        int fd = ::openat(::dirfd(pDir), strName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime >= kStaleTempAge &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlinkat(::dirfd(pDir), strName.c_str(), 0);
        }
        ::close(fd);
    }
    ::closedir(pDir);
}

bool WriteAll(int fd, const std::string& strText) {
    for (size_t nDone = 0; nDone < strText.size();) {
        ssize_t n = ::write(fd, strText.data() + nDone, strText.size() - nDone);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        nDone += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string AppDirPath(const std::string& strFileName) {
    return ReadSetting(SETTING_APP_DIR) + "/" + strFileName;
}

bool SaveTextFile(const std::string& strPath, const std::string& strText) {
    RemoveStaleTemps(strPath);
    // Write a temporary file beside the target and rename it over the target only when
    // every byte is on disk: readers see the old file or the new one, never a part.
    std::string strTemp = strPath + kTempSuffix;
    int fd = ::mkstemp(strTemp.data());
    if (fd < 0) {
        return false;
    }
    // Tells a later save that this temporary is still being written.
    ::flock(fd, LOCK_EX | LOCK_NB);
    struct stat st {};
    mode_t mode = ::stat(strPath.c_str(), &st) == 0 ? (st.st_mode & 07777) : DefaultFileMode();
    bool bOk = ::fchmod(fd, mode) == 0 && WriteAll(fd, strText);
    bOk = bOk && ::fsync(fd) == 0;
    bOk = bOk && ::rename(strTemp.c_str(), strPath.c_str()) == 0;
    if (!bOk) {
        ::unlink(strTemp.c_str());
    }
    bOk = ::close(fd) == 0 && bOk;
    return bOk;
}

bool AppendTextFile(const std::string& strPath, const std::string& strText) {
    int fd = ::open(strPath.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, DefaultFileMode());
    if (fd < 0) {
        return false;
    }
    bool bOk = true;
    if (!strText.empty()) {
        // A line cut short by a crash must not swallow the first line appended now.
        struct stat st {};
        char cLast = '\n';
        const bool bSized = ::fstat(fd, &st) == 0;
        bOk = bSized && (st.st_size == 0 || ::pread(fd, &cLast, 1, st.st_size - 1) == 1);
        bOk = bOk && (cLast == '\n' || WriteAll(fd, "\r\n"));
        bOk = bOk && WriteAll(fd, strText) && ::fsync(fd) == 0;
        // A full disk stops a write part-way: cut that part off again, so the file stays
        // as it was instead of ending in a torn record.
        if (!bOk && bSized) {
            ::ftruncate(fd, st.st_size);
        }
    }
    bOk = ::close(fd) == 0 && bOk;
    return bOk;
}

bool ReadTextFile(const std::string& strPath, std::string& strText) {
    // Straight into the string: a seen store runs to megabytes, read at every check.
    int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    // Files under /proc report size 0, so the size only sets the first buffer.
    size_t nSize = ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
    std::string strRead(nSize + 1, '\0');  // one more, to meet the end in the same read
    size_t nDone = 0;
    bool bOk = true;
    for (;;) {
        if (nDone == strRead.size()) {
            strRead.resize(strRead.size() * 2 + 4096);
        }
        ssize_t n = ::read(fd, strRead.data() + nDone, strRead.size() - nDone);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            bOk = n == 0;
            break;
        }
        nDone += static_cast<size_t>(n);
    }
    ::close(fd);
    if (!bOk) {
        return false;
    }
    strRead.resize(nDone);
    strText = std::move(strRead);
    return true;
}

std::vector<std::string> SplitLines(const std::string& strText) {
    std::vector<std::string> lines;
    ForEachLine(strText, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

bool SplitMapLine(std::string_view strLine, std::string_view& strKey, std::string_view& strValue) {
    const std::string_view separator = MAP_SEPARATOR;
    const size_t nSplit = strLine.find(separator);
    if (nSplit == std::string_view::npos) {
        return false;
    }
    strKey = strLine.substr(0, nSplit);
    strValue = strLine.substr(nSplit + separator.size());
    return true;
}

void AppendMapLine(std::string& strText, std::string_view strKey, std::string_view strValue) {
    strText += strKey;
    strText += MAP_SEPARATOR;
    strText += strValue;
    strText += "\r\n";
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
        AppendMapLine(strText, strKey, strValue);
    }
    return SaveTextFile(AppDirPath(strFileName), strText);
}

void LoadMapFile(const std::string& strFileName, CStringMap& map) {
    std::string strText;
    if (!ReadTextFile(AppDirPath(strFileName), strText)) {
        return;
    }
    ForEachLine(strText, [&](std::string_view line) {
        std::string_view key, value;
        if (SplitMapLine(line, key, value)) {
            map[std::string(key)] = value;
        }
    });
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
