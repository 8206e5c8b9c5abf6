#pragma once

// The desktop's keyring (a Secret Service such as GNOME Keyring, through QtKeychain): one
// secret per key under a service name. Every call returns at once; its callback runs
// later on the window thread, never inside the call, and not at all once the context
// object is gone. Without a keyring (no session bus, no Secret Service, a keyring that
// stays locked) the jobs fail with a reason; nothing falls back to a file. Window thread.

#include <QString>

#include <functional>
#include <optional>
#include <string>

class QObject;

class CSecretStore final {
public:
    explicit CSecretStore(std::string strService);

    // Found: the secret; otherwise none, with the reason (no entry, no keyring).
    using ReadFn = std::function<void(std::optional<std::string> secret, const QString& strWhy)>;
    // Stored or not, with the reason when not.
    using WriteFn = std::function<void(bool bStored, const QString& strWhy)>;

    void Read(const std::string& strKey, QObject* pContext, ReadFn fnDone) const;
    void Write(const std::string& strKey, const std::string& strSecret, QObject* pContext,
               WriteFn fnDone) const;

private:
    std::string m_strService;
};
