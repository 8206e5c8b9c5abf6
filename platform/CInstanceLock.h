#pragma once

// The single-instance lock of one desktop user: an exclusive lock on a file in the user's
// runtime directory. The kernel drops the lock when its process ends, however it ends,
// so a crashed copy never blocks the next start.

#include <string>

class CInstanceLock final {
public:
    explicit CInstanceLock(std::string strName);
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    enum class Result { Acquired, HeldElsewhere, Unavailable };

    // Unavailable means the lock file could not be opened: nothing can be told about
    // other copies, and the caller should not refuse to start for that.
    Result Acquire();
    bool IsHeld() const { return m_fd >= 0; }
    std::string Path() const;
    // Where the holder listens for later starts (CInstanceChannel): beside the lock.
    std::string ChannelPath() const;

private:
    std::string PathWith(const char* pszSuffix) const;

    std::string m_strName;
    int m_fd = -1;
};
