#include "platform/CSecretStore.h"

#include <qt6keychain/keychain.h>

#include <QObject>

CSecretStore::CSecretStore(std::string strService) : m_strService(std::move(strService)) {}

void CSecretStore::Read(const std::string& strKey, QObject* pContext, ReadFn fnDone) const {
    // Jobs delete themselves once finished; the context only decides whether anyone hears.
    auto* pJob = new QKeychain::ReadPasswordJob(QString::fromStdString(m_strService));
    pJob->setKey(QString::fromStdString(strKey));
    QObject::connect(pJob, &QKeychain::Job::finished, pContext,
                     [pJob, fnDone = std::move(fnDone)](QKeychain::Job*) {
                         if (pJob->error() != QKeychain::NoError) {
                             fnDone(std::nullopt, pJob->errorString());
                             return;
                         }
                         fnDone(pJob->textData().toStdString(), QString());
                     });
    pJob->start();
}

void CSecretStore::Write(const std::string& strKey, const std::string& strSecret, QObject* pContext,
                         WriteFn fnDone) const {
    auto* pJob = new QKeychain::WritePasswordJob(QString::fromStdString(m_strService));
    pJob->setKey(QString::fromStdString(strKey));
    pJob->setTextData(QString::fromStdString(strSecret));
    QObject::connect(pJob, &QKeychain::Job::finished, pContext,
                     [pJob, fnDone = std::move(fnDone)](QKeychain::Job*) {
                         fnDone(pJob->error() == QKeychain::NoError, pJob->errorString());
                     });
    pJob->start();
}
