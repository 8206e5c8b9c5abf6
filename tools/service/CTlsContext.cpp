#include "CTlsContext.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <fcntl.h>

namespace {

std::string LastTlsError() {
    char szText[256] = {};
    ERR_error_string_n(ERR_get_error(), szText, sizeof szText);
    ERR_clear_error();
    return szText;
}

}  // namespace

std::unique_ptr<CTlsContext> CTlsContext::Load(const std::string& strCertFile,
                                               const std::string& strKeyFile,
                                               std::string& strError) {
    SSL_CTX* pContext = SSL_CTX_new(TLS_server_method());
    if (pContext == nullptr) {
        strError = "cannot make a TLS context: " + LastTlsError();
        return nullptr;
    }
    std::unique_ptr<CTlsContext> pTls(new CTlsContext(pContext));
    SSL_CTX_set_min_proto_version(pContext, TLS1_2_VERSION);
    // The worker writes an answer in one piece; a retried write may come from a moved buffer.
    SSL_CTX_set_mode(pContext, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (SSL_CTX_use_certificate_chain_file(pContext, strCertFile.c_str()) != 1) {
        strError = "cannot use TLS certificate " + strCertFile + ": " + LastTlsError();
        return nullptr;
    }
    if (SSL_CTX_use_PrivateKey_file(pContext, strKeyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(pContext) != 1) {
        strError = "cannot use TLS key " + strKeyFile + ": " + LastTlsError();
        return nullptr;
    }
    return pTls;
}

CTlsContext::~CTlsContext() { SSL_CTX_free(m_pContext); }

SSL* CTlsContext::NewSession(int fd) const {
    int nFlags = fcntl(fd, F_GETFL);
    if (nFlags < 0 || fcntl(fd, F_SETFL, nFlags | O_NONBLOCK) < 0) {
        return nullptr;
    }
    SSL* pSsl = SSL_new(m_pContext);
    if (pSsl != nullptr && SSL_set_fd(pSsl, fd) != 1) {
        SSL_free(pSsl);
        return nullptr;
    }
    if (pSsl != nullptr) {
        SSL_set_accept_state(pSsl);
    }
    return pSsl;
}
