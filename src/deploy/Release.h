#pragma once

#include "run/Form1Core.h"

// The release's files as the maker signed them: SHA256.sig in the payload folder, a signify
// signature (signify -S -e) of the list sha256sum --tag writes.
namespace maj::deploy {

// Where the release's files are taken from: the current folder when the media kind is "CD", else
// c:\praxidome\maj\; always with its final backslash.
QString payloadFolder(const RunSettings& settings);

// SHA256.sig of `folder` checked against `keys`, then every file it lists, each read once: who
// signed it, or the refusal naming what is wrong.
ReleaseCheck checkSignedRelease(const QString& folder, const std::vector<signify::PublicKey>& keys);

// The opening's checks, before anything is written. verifiemaj: with keys, the signed release;
// without, the log says that the release is not authenticated. verifienumero: the update number
// against the settings record's. A refusal is shown and ends the program (ReleaseRefused).
void verifiemaj(Form1Core& f);
void verifienumero(Form1Core& f);

// The SHA-256 the signed list gives a file of the payload folder; empty when the program has no
// keys (the release goes unchecked). Throws when the file is not in the list.
QByteArray signedSha256(const Form1Core& f, const QString& name);

} // namespace maj::deploy
