#include "FaultVfs.h"

#include <sqlite3.h>

#include <cstring>

namespace maj::test {

namespace {

// One fault injector at a time: SQLite's VFS callbacks carry no user data but the VFS itself.
struct State
{
    sqlite3_vfs vfs{};
    sqlite3_vfs* real = nullptr;
    int seen = 0;
    int failAt = 0;
    FaultVfs::Fault fault = FaultVfs::Fault::DiskFull;
};
State* g_state = nullptr;

struct File
{
    sqlite3_file base;
    sqlite3_file* real; // follows this struct in the same allocation
};

sqlite3_file* real(sqlite3_file* file)
{
    return reinterpret_cast<File*>(file)->real;
}

using Fault = FaultVfs::Fault;

// True when this call is the one to fail; `kind` is the fault that counts it.
bool strike(Fault kind)
{
    if (kind != g_state->fault && !(kind == Fault::DiskFull && g_state->fault == Fault::IoError))
        return false;
    return ++g_state->seen == g_state->failAt; // failAt 0 only counts
}

int faultCode(int ioErr)
{
    return g_state->fault == Fault::DiskFull ? SQLITE_FULL : ioErr;
}

// Version 1 methods only: no shared memory (the program never uses a write-ahead log) and no
// memory mapping, so SQLite reads and writes through these methods.
const sqlite3_io_methods kMethods = [] {
    sqlite3_io_methods m{}; // the shared memory and mapping methods null
    m.iVersion = 1;
    m.xClose = [](sqlite3_file* f) { return real(f)->pMethods ? real(f)->pMethods->xClose(real(f)) : SQLITE_OK; };
    m.xRead = [](sqlite3_file* f, void* p, int n, sqlite3_int64 o) {
        return strike(Fault::Read) ? SQLITE_IOERR_READ : real(f)->pMethods->xRead(real(f), p, n, o);
    };
    m.xWrite = [](sqlite3_file* f, const void* p, int n, sqlite3_int64 o) {
        return strike(Fault::DiskFull) ? faultCode(SQLITE_IOERR_WRITE) : real(f)->pMethods->xWrite(real(f), p, n, o);
    };
    m.xTruncate = [](sqlite3_file* f, sqlite3_int64 size) {
        return strike(Fault::DiskFull) ? faultCode(SQLITE_IOERR_TRUNCATE) : real(f)->pMethods->xTruncate(real(f), size);
    };
    m.xSync = [](sqlite3_file* f, int flags) {
        return strike(Fault::DiskFull) ? faultCode(SQLITE_IOERR_FSYNC) : real(f)->pMethods->xSync(real(f), flags);
    };
    m.xFileSize = [](sqlite3_file* f, sqlite3_int64* size) {
        return strike(Fault::Size) ? SQLITE_IOERR_FSTAT : real(f)->pMethods->xFileSize(real(f), size);
    };
    m.xLock = [](sqlite3_file* f, int level) {
        return strike(Fault::Lock) ? SQLITE_IOERR_LOCK : real(f)->pMethods->xLock(real(f), level);
    };
    m.xUnlock = [](sqlite3_file* f, int level) { return real(f)->pMethods->xUnlock(real(f), level); };
    m.xCheckReservedLock = [](sqlite3_file* f, int* o) { return real(f)->pMethods->xCheckReservedLock(real(f), o); };
    m.xFileControl = [](sqlite3_file* f, int op, void* a) { return real(f)->pMethods->xFileControl(real(f), op, a); };
    m.xSectorSize = [](sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); };
    m.xDeviceCharacteristics = [](sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); };
    return m;
}();

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    auto* wrapper = reinterpret_cast<File*>(file);
    wrapper->real = reinterpret_cast<sqlite3_file*>(wrapper + 1);
    wrapper->base.pMethods = nullptr;
    if (strike(Fault::Open))
        return SQLITE_CANTOPEN;
    const int rc = g_state->real->xOpen(g_state->real, name, wrapper->real, flags, outFlags);
    if (wrapper->real->pMethods)
        wrapper->base.pMethods = &kMethods;
    return rc;
}

} // namespace

FaultVfs::FaultVfs()
{
    g_state = new State;
    g_state->real = sqlite3_vfs_find(nullptr);
    g_state->vfs = *g_state->real;
    g_state->vfs.zName = "maj-fault";
    g_state->vfs.szOsFile = int(sizeof(File)) + g_state->real->szOsFile;
    g_state->vfs.xOpen = xOpen;
    g_state->vfs.pNext = nullptr;
    sqlite3_vfs_register(&g_state->vfs, 1);
}

FaultVfs::~FaultVfs()
{
    sqlite3_vfs_unregister(&g_state->vfs);
    sqlite3_vfs_register(g_state->real, 1);
    delete g_state;
    g_state = nullptr;
}

void FaultVfs::arm(int k, Fault fault)
{
    g_state->seen = 0;
    g_state->failAt = k;
    g_state->fault = fault;
}

int FaultVfs::count() const
{
    return g_state->seen;
}

} // namespace maj::test
