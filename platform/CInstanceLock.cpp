#include "platform/CInstanceLock.h"

#include <QDir>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>

CInstanceLock::CInstanceLock(std::string strName) : m_strName(std::move(strName)) {}

CInstanceLock::~CInstanceLock() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

std::string CInstanceLock::Path() const { return PathWith(".lock"); }

std::string CInstanceLock::ChannelPath() const { return PathWith(".sock"); }

std::string CInstanceLock::PathWith(const char* pszSuffix) const {
    // Qt creates the runtime directory owner-only when XDG_RUNTIME_DIR is unset.
    QString strDir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (strDir.isEmpty()) {
        strDir = QDir::tempPath();
    }
    return (strDir + "/" + QString::fromStdString(m_strName) + pszSuffix).toStdString();
}

CInstanceLock::Result CInstanceLock::Acquire() {
    if (m_fd >= 0) {
        return Result::Acquired;
    }
    int fd = ::open(Path().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return Result::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int nError = errno;
        ::close(fd);
        return nError == EWOULDBLOCK ? Result::HeldElsewhere : Result::Unavailable;
    }
    m_fd = fd;
    return Result::Acquired;
}
