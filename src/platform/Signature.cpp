#include "platform/Signature.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace maj::signify {

namespace {

constexpr qsizetype kNumberSize = 8;
constexpr qsizetype kKeySize = 32;
constexpr qsizetype kSignatureSize = 64;

// "Ed", then the 8-byte key number and `size` bytes, from one base64 line; empty when it is not that.
QByteArray decode(const QByteArray& base64, qsizetype size)
{
    const auto decoded = QByteArray::fromBase64Encoding(base64.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != 2 + kNumberSize + size || !decoded.decoded.startsWith("Ed"))
        return {};
    return decoded.decoded.mid(2);
}

bool ed25519Verify(const QByteArray& key, const QByteArray& message, const QByteArray& signature)
{
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> pkey(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                                    size_t(key.size())),
        EVP_PKEY_free);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!pkey || !context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, pkey.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                            size_t(signature.size()), reinterpret_cast<const unsigned char*>(message.data()),
                            size_t(message.size())) == 1;
}

} // namespace

std::optional<PublicKey> publicKey(const QString& name, const QByteArray& base64)
{
    const QByteArray decoded = decode(base64, kKeySize);
    if (decoded.isEmpty())
        return std::nullopt;
    return PublicKey{name, decoded.left(kNumberSize), decoded.mid(kNumberSize)};
}

std::vector<PublicKey> builtInKeys()
{
    // Names and key lines, written at configure time from MAJ_RELEASE_KEYS, which checked each file.
    static constexpr std::pair<const char*, const char*> compiled[] = {
#include "ReleaseKeys.inc"
        {nullptr, nullptr}};
    std::vector<PublicKey> keys;
    for (const auto& [name, base64] : compiled) {
        if (name)
            keys.push_back(*publicKey(QString::fromUtf8(name), QByteArray(base64)));
    }
    return keys;
}

Verified verifyEmbedded(const QByteArray& signatureFile, const std::vector<PublicKey>& keys)
{
    Verified v;
    const qsizetype commentEnd = signatureFile.indexOf('\n');
    const qsizetype lineEnd = signatureFile.indexOf('\n', commentEnd + 1);
    if (!signatureFile.startsWith("untrusted comment: ") || commentEnd < 0 || lineEnd < 0)
        return v;
    const QByteArray decoded = decode(signatureFile.mid(commentEnd + 1, lineEnd - commentEnd - 1), kSignatureSize);
    if (decoded.isEmpty())
        return v;
    const auto key = std::find_if(keys.cbegin(), keys.cend(),
                                  [&](const PublicKey& k) { return k.number == decoded.left(kNumberSize); });
    const QByteArray message = signatureFile.mid(lineEnd + 1);
    if (key == keys.cend())
        v.outcome = Verified::UnknownKey;
    else if (!ed25519Verify(key->key, message, decoded.mid(kNumberSize)))
        v.outcome = Verified::BadSignature;
    else
        v = {Verified::Good, key->name, message};
    return v;
}

} // namespace maj::signify
