#include "FsPosix.h"

#include "MajError.h"

#include <QFile>

#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace maj::fs::posix {

void UniqueFd::reset(int fd) noexcept
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

int errorNumber(int error)
{
    switch (error) {
    case ENOENT:
        return err::FileNotFound;
    case ENOTDIR:
        return err::PathNotFound;
    case EACCES:
    case EPERM:
    case EBUSY:
    case ETXTBSY:
    case EAGAIN:
        return err::PermissionDenied;
    case ENOSPC:
    case EDQUOT:
        return err::DiskFull;
    case EEXIST:
        return err::FileAlreadyExists;
    case ENAMETOOLONG:
    case EILSEQ:
        return err::BadFileName;
    default: // EROFS, EISDIR, EIO, ENOTSUP...
        return err::PathFileAccess;
    }
}

bool exists(const QString& hostPath)
{
    struct stat st;
    return ::lstat(QFile::encodeName(hostPath).constData(), &st) == 0;
}

bool isDirectory(const QString& hostPath)
{
    struct stat st;
    return ::stat(QFile::encodeName(hostPath).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const QString& hostPath)
{
    struct stat st;
    return ::stat(QFile::encodeName(hostPath).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

unsigned char entryType(const QString& hostPath)
{
    struct stat st;
    if (::lstat(QFile::encodeName(hostPath).constData(), &st) != 0)
        return DT_UNKNOWN;
    if (S_ISDIR(st.st_mode))
        return DT_DIR;
    if (S_ISREG(st.st_mode))
        return DT_REG;
    if (S_ISLNK(st.st_mode))
        return DT_LNK;
    return DT_UNKNOWN;
}

void forEachEntry(const QString& folder, const std::function<void(const QString& name, unsigned char type)>& visit)
{
    struct Closer
    {
        void operator()(DIR* dir) const noexcept { ::closedir(dir); }
    };
    std::unique_ptr<DIR, Closer> dir(::opendir(QFile::encodeName(folder).constData()));
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

namespace {

struct flock wholeFile(short type)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0; // to the end, however far the file grows
    return lock;
}

} // namespace

bool tryLock(int fd, short type)
{
    struct flock lock = wholeFile(type);
    return retry([&] { return ::fcntl(fd, F_OFD_SETLK, &lock); }) == 0;
}

bool isLockedByOther(int fd, short type)
{
    struct flock lock = wholeFile(type);
    if (::fcntl(fd, F_OFD_GETLK, &lock) != 0)
        return false;
    return lock.l_type != F_UNLCK;
}

void syncFolder(const QString& folder) noexcept
{
    UniqueFd fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd)
        ::fsync(fd.get());
}

} // namespace maj::fs::posix
