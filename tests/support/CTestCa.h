#pragma once

// A certificate authority made for one test, and server certificates it signs, written by
// Debian's openssl command into a temporary directory that goes with the object. Nothing
// of it outlives the test.

#include <QTemporaryDir>

#include <string>

namespace testing_support {

class CTestCa final {
public:
    // Makes the CA's key and certificate; check Valid().
    CTestCa();
    CTestCa(const CTestCa&) = delete;
    CTestCa& operator=(const CTestCa&) = delete;

    bool Valid() const { return m_bValid; }
    // The CA certificate (PEM), for the client to trust.
    std::string CaFile() const { return m_strDir + "/ca.pem"; }

    struct CServerFiles {
        std::string strCertFile;
        std::string strKeyFile;
    };
    // A server key and certificate for the names, e.g. "DNS:localhost,IP:127.0.0.1",
    // signed by this CA; empty files when openssl failed.
    CServerFiles MakeServer(const std::string& strLabel, const std::string& strAltNames);

    // What openssl said, for failure messages.
    const std::string& Log() const { return m_strLog; }

private:
    bool Run(const QStringList& args);

    QTemporaryDir m_dir;
    std::string m_strDir;
    std::string m_strLog;
    bool m_bValid = false;
};

}  // namespace testing_support
