#pragma once

#include <QByteArray>

#include <memory>

struct evp_md_ctx_st; // OpenSSL's EVP_MD_CTX

namespace maj {

// SHA-256 of a stream of bytes. OpenSSL's rather than QCryptographicHash: Qt's runs without the
// processor's SHA instructions, which would make hashing a large database slower than copying it.
class Sha256
{
public:
    Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(const char* data, size_t size);
    // The digest in lower-case hexadecimal, as sha256sum prints it; ends the stream.
    QByteArray hex();

private:
    std::unique_ptr<evp_md_ctx_st, void (*)(evp_md_ctx_st*)> m_context;
};

} // namespace maj
