#pragma once

#include <QString>

#include <cerrno>
#include <functional>

#include <sys/types.h>

// Small POSIX helpers behind FileSystem.cpp: host paths in, no MajError out.
namespace maj::fs::posix {

class UniqueFd
{
public:
    explicit UniqueFd(int fd = -1) noexcept : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const noexcept { return m_fd; }
    explicit operator bool() const noexcept { return m_fd >= 0; }
    void reset(int fd = -1) noexcept;

private:
    int m_fd;
};

// The old platform's error number for an errno value (70, 75, 61...).
int errorNumber(int error);

// DT_DIR, DT_REG, DT_LNK... of a path, following a final link only when asked; DT_UNKNOWN when missing.
unsigned char entryType(const QString& hostPath, bool followLink = false);
bool isDirectory(const QString& hostPath); // following links

// Calls `visit` for each entry of a folder but "." and "..", in the file system's order, with the
// entry's type as readdir gives it (possibly DT_UNKNOWN). A folder that cannot be read has none.
void forEachEntry(const QString& folder, const std::function<void(const QString& name, unsigned char type)>& visit);

template <typename F> auto retry(F call)
{
    for (;;) {
        const auto result = call();
        if (result >= 0 || errno != EINTR)
            return result;
    }
}

bool writeAll(int fd, const char* data, size_t size);

// Non-blocking open-file-description lock of the whole file (F_RDLCK or F_WRLCK). Such locks
// conflict with other processes' classic POSIX locks too, and die with the descriptor.
bool tryLock(int fd, short type);
// Whether another open file (in any process) holds any lock on the file; `ifUntestable` when locks
// cannot be tested.
bool isLockedByOther(int fd, bool ifUntestable);

// Whether a process of this machine other than this one has the file (device and inode) open
// for writing, idle or not: the kernel's /proc/<pid>/fd and the access mode in /proc/<pid>/fdinfo.
// Processes this user may not inspect, and other machines sharing the file, are not seen.
bool isOpenForWritingElsewhere(dev_t device, ino_t inode);

// Makes a rename in the folder durable; failures are ignored (not every file system can).
void syncFolder(const QString& folder) noexcept;

} // namespace maj::fs::posix
