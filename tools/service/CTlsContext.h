#pragma once

// The service's TLS side: one server context made from a certificate chain and its private
// key (PEM files), and the sessions made from it for accepted sockets. Sessions run on
// non-blocking sockets, so the head gate can hold their handshakes without a thread. Safe
// to share between threads once loaded.

#include <openssl/types.h>

#include <memory>
#include <string>

class CTlsContext final {
public:
    // Null, with strError set, when a file cannot be read or the key does not belong to the
    // certificate.
    static std::unique_ptr<CTlsContext> Load(const std::string& strCertFile,
                                             const std::string& strKeyFile, std::string& strError);
    ~CTlsContext();
    CTlsContext(const CTlsContext&) = delete;
    CTlsContext& operator=(const CTlsContext&) = delete;

    // A server session on fd, which it switches to non-blocking; null when none can be made.
    // The caller frees it with SSL_free.
    SSL* NewSession(int fd) const;

private:
    explicit CTlsContext(SSL_CTX* pContext) : m_pContext(pContext) {}

    SSL_CTX* m_pContext;
};

// Whether a connection's first byte opens a TLS handshake (a handshake record) rather than
// a plain HTTP request, which starts with a method name.
inline bool OpensTlsHandshake(unsigned char cFirst) { return cFirst == 0x16; }
