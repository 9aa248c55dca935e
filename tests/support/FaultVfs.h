#pragma once

// A fault injector in the way SQLite tests itself: a VFS over the default one that fails the k-th
// call of one kind on any file SQLite opens (databases and journals), once. While it lives it is
// the default VFS, so every connection opened meanwhile goes through it.
namespace maj::test {

class FaultVfs
{
public:
    // What fails, and how: a write, sync or truncate with a full disk or an I/O error; a read, an
    // open, a lock or a file-size query with an I/O error (an open: cannot open).
    enum class Fault
    {
        DiskFull,
        IoError,
        Read,
        Open,
        Lock,
        Size
    };

    FaultVfs();
    ~FaultVfs();
    FaultVfs(const FaultVfs&) = delete;
    FaultVfs& operator=(const FaultVfs&) = delete;

    // Counts calls of the fault's kind from now on and fails the k-th one (1-based); 0 only counts.
    void arm(int k, Fault fault = Fault::DiskFull);
    // Calls of the armed kind seen since arm().
    int count() const;
};

} // namespace maj::test
