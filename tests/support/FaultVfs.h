#pragma once

// A fault injector in the way SQLite tests itself: a VFS over the default one that fails the k-th
// write, sync or truncate of any file SQLite opens (databases and journals), once, with
// SQLITE_FULL or SQLITE_IOERR. While it lives it is the default VFS, so every connection opened
// meanwhile goes through it.
namespace maj::test {

class FaultVfs
{
public:
    enum class Fault
    {
        DiskFull,
        IoError
    };

    FaultVfs();
    ~FaultVfs();
    FaultVfs(const FaultVfs&) = delete;
    FaultVfs& operator=(const FaultVfs&) = delete;

    // Counts I/O from now on and fails the k-th one (1-based); 0 only counts.
    void arm(int k, Fault fault = Fault::DiskFull);
    // Writes, syncs and truncates seen since arm().
    int count() const;
    bool fired() const;
};

} // namespace maj::test
