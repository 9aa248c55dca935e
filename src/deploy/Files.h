#pragma once

#include <QString>

namespace maj {
class Engine;
}

// File operations shared by the deployment steps. Windows paths; failures throw MajError.
namespace maj::deploy {

// Copies a file over its target, replacing it, then leaves the target with the archive attribute
// only, so that a read-only source still gives a writable copy. A database (.mdb) is made
// consistent first (the engine's prepareCopy).
void deployFile(Engine& engine, const QString& source, const QString& target);

} // namespace maj::deploy
