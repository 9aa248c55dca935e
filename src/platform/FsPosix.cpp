#include "platform/FsPosix.h"

#include "platform/MajError.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace maj::fs::posix {

namespace {

using Dir = std::unique_ptr<DIR, decltype([](DIR* dir) { ::closedir(dir); })>;

// l_len 0: to the end, however far the file grows.
struct flock wholeFile(short type)
{
    return {.l_type = type, .l_whence = SEEK_SET, .l_start = 0, .l_len = 0, .l_pid = 0};
}

// The access mode of an open file from its /proc/<pid>/fdinfo/<fd> text ("flags:\t0100002").
bool writableFdInfo(const char* path)
{
    UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
    if (!fd)
        return false;
    char text[512];
    const ssize_t got = retry([&] { return ::read(fd.get(), text, sizeof text - 1); });
    if (got <= 0)
        return false;
    text[got] = '\0';
    const char* flags = std::strstr(text, "flags:");
    if (!flags)
        return false;
    const unsigned long mode = std::strtoul(flags + 6, nullptr, 8) & O_ACCMODE;
    return mode == O_WRONLY || mode == O_RDWR;
}

bool isNumber(std::string_view name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

void UniqueFd::reset(int fd) noexcept
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

int errorNumber(int error)
{
    static const QHash<int, int> numbers{
        {ENOENT, err::FileNotFound},      {ENOTDIR, err::PathNotFound},     {EACCES, err::PermissionDenied},
        {EPERM, err::PermissionDenied},   {EBUSY, err::PermissionDenied},   {ETXTBSY, err::PermissionDenied},
        {EAGAIN, err::PermissionDenied},  {ENOSPC, err::DiskFull},          {EDQUOT, err::DiskFull},
        {EEXIST, err::FileAlreadyExists}, {ENAMETOOLONG, err::BadFileName}, {EILSEQ, err::BadFileName}};
    return numbers.value(error, err::PathFileAccess); // EROFS, EISDIR, EIO, ENOTSUP...
}

unsigned char entryType(const QString& hostPath, bool followLink)
{
    struct stat st;
    const QByteArray path = QFile::encodeName(hostPath);
    if ((followLink ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st)) != 0)
        return DT_UNKNOWN;
    return IFTODT(st.st_mode);
}

bool isDirectory(const QString& hostPath)
{
    return entryType(hostPath, true) == DT_DIR;
}

void forEachEntry(const QString& folder, const std::function<void(const QString& name, unsigned char type)>& visit)
{
    const Dir dir(::opendir(QFile::encodeName(folder).constData()));
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir.get())) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        visit(QFile::decodeName(name), entry->d_type);
    }
}

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = retry([&] { return ::write(fd, data, size); });
        if (written < 0)
            return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool tryLock(int fd, short type)
{
    struct flock lock = wholeFile(type);
    return retry([&] { return ::fcntl(fd, F_OFD_SETLK, &lock); }) == 0;
}

bool isLockedByOther(int fd, bool ifUntestable)
{
    struct flock lock = wholeFile(F_WRLCK);
    return ::fcntl(fd, F_OFD_GETLK, &lock) != 0 ? ifUntestable : lock.l_type != F_UNLCK;
}

bool isOpenForWritingElsewhere(dev_t device, ino_t inode)
{
    const Dir processes(::opendir("/proc"));
    if (!processes)
        return false;
    const std::string self = std::to_string(::getpid());
    while (const dirent* process = ::readdir(processes.get())) {
        if (!isNumber(process->d_name) || self == process->d_name)
            continue;
        const std::string base = std::string("/proc/") + process->d_name;
        const Dir descriptors(::opendir((base + "/fd").c_str()));
        if (!descriptors)
            continue; // ended meanwhile, or not ours to inspect
        while (const dirent* descriptor = ::readdir(descriptors.get())) {
            if (!isNumber(descriptor->d_name))
                continue;
            // stat follows the descriptor's link to the open file, renamed or deleted as it may be.
            struct stat st;
            if (::stat((base + "/fd/" + descriptor->d_name).c_str(), &st) != 0 || st.st_dev != device ||
                st.st_ino != inode)
                continue;
            if (writableFdInfo((base + "/fdinfo/" + descriptor->d_name).c_str()))
                return true;
        }
    }
    return false;
}

void syncFolder(const QString& folder) noexcept
{
    UniqueFd fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd)
        ::fsync(fd.get());
}

} // namespace maj::fs::posix
