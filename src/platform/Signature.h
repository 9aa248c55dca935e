#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// Signatures in OpenBSD's signify format (Ed25519), checked with OpenSSL. A public key file is a
// comment line and the base64 of "Ed", an 8-byte key number and the 32-byte key; a signature made
// with the message embedded (signify -S -e) is a comment line, the base64 of "Ed", the key number
// and the 64-byte signature, then the message itself.
namespace maj::signify {

struct PublicKey
{
    QString name;      // the .pub file's name, as the log and the preview tell it
    QByteArray number; // 8 bytes: which key signed is told by the signature
    QByteArray key;    // 32 bytes
};

// A key from the base64 line of a .pub file; nothing when it is not one.
std::optional<PublicKey> publicKey(const QString& name, const QByteArray& base64);

// The keys the program was built with (MAJ_RELEASE_KEYS); none in a build that names none.
std::vector<PublicKey> builtInKeys();

struct Verified
{
    enum Outcome
    {
        Good,
        Malformed,   // not a signify signature with its message
        UnknownKey,  // signed by no key of `keys`
        BadSignature // the signature does not hold for the message: one of them was changed
    };
    Outcome outcome = Malformed;
    QString keyName;    // Good: the key that signed
    QByteArray message; // Good: the embedded message
};

// Checks a signature file made by signify -S -e against the key its key number names.
Verified verifyEmbedded(const QByteArray& signatureFile, const std::vector<PublicKey>& keys);

} // namespace maj::signify
