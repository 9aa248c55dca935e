#pragma once

#include <QString>

namespace maj {
class Engine;
class Sha256;
struct Form1Core;
} // namespace maj

// File operations shared by the deployment steps. Windows paths; failures throw MajError.
namespace maj::deploy {

// Copies a file over its target, replacing it, then leaves the target with the archive attribute
// only, so that a read-only source still gives a writable copy. A database (.mdb) is made
// consistent first (the engine's prepareCopy). `digest`, when given, receives the bytes copied.
void deployFile(Engine& engine, const QString& source, const QString& target, Sha256* digest = nullptr);

// Copies the file `name` of the payload folder over `target`, as fs::copyFile does. When the
// program has release keys, the file must be in the signed list and its copy must hash to the
// listed SHA-256: otherwise the copy fails and the target stays as it was.
void copyPayloadFile(Form1Core& f, const QString& name, const QString& target);
// deployFile for the file `name` of the payload folder, checked as copyPayloadFile checks it; a
// signed file is copied as it was signed (a journal beside a database is left alone).
void deployPayloadFile(Form1Core& f, const QString& name, const QString& target);

} // namespace maj::deploy
