#include "tests/support/CTestCa.h"

#include <QProcess>

#include <fstream>

namespace testing_support {

CTestCa::CTestCa() : m_strDir(m_dir.path().toStdString()) {
    const QString strDir = QString::fromStdString(m_strDir);
    m_bValid = m_dir.isValid() &&
               Run({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                    "-nodes", "-keyout", strDir + "/ca.key", "-out", strDir + "/ca.pem", "-days",
                    "2", "-subj", "/CN=Vocalon Test CA", "-addext",
                    "basicConstraints=critical,CA:TRUE", "-addext",
                    "keyUsage=critical,keyCertSign,cRLSign"});
}

CTestCa::CServerFiles CTestCa::MakeServer(const std::string& strLabel,
                                          const std::string& strAltNames) {
    const QString strBase = QString::fromStdString(m_strDir + "/" + strLabel);
    std::ofstream(m_strDir + "/" + strLabel + ".ext")
        << "subjectAltName=" << strAltNames
        << "\nbasicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
           "extendedKeyUsage=serverAuth\n";
    const QString strDir = QString::fromStdString(m_strDir);
    if (!m_bValid ||
        !Run({"req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
              "-keyout", strBase + ".key", "-out", strBase + ".csr", "-subj",
              "/CN=" + QString::fromStdString(strLabel)}) ||
        !Run({"x509", "-req", "-in", strBase + ".csr", "-CA", strDir + "/ca.pem", "-CAkey",
              strDir + "/ca.key", "-CAcreateserial", "-out", strBase + ".pem", "-days", "2",
              "-extfile", strBase + ".ext"})) {
        return {};
    }
    return {strBase.toStdString() + ".pem", strBase.toStdString() + ".key"};
}

bool CTestCa::Run(const QStringList& args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("openssl", args);
    const bool bDone = process.waitForFinished(30000);
    m_strLog += process.readAll().toStdString();
    return bDone && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

}  // namespace testing_support
