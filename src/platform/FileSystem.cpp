#include "platform/FileSystem.h"

#include "platform/FsPosix.h"
#include "platform/MajError.h"
#include "platform/Sha256.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <charconv>
#include <future>
#include <optional>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace maj::fs {

namespace {

// The Samba and Wine convention for DOS attributes on a Linux file.
constexpr char kDosAttrib[] = "user.DOSATTRIB";
constexpr unsigned kStoredBits = ReadOnly | Hidden | System | Archive;
// SearchTreeForFile's limit: the root and 31 folder levels below it.
constexpr int kMaxSearchDepth = 32;

[[noreturn]] void fail(int number)
{
    throw MajError(number);
}

// A Windows path taken apart: its drive letter (lower case) and its components.
struct WinPath
{
    QChar drive;
    QStringList components;
};

void checkName(const QString& name, bool wildcardsAllowed)
{
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || QStringView(u"/:\"<>|").contains(c) ||
            (!wildcardsAllowed && (c == u'*' || c == u'?')))
            fail(err::BadFileName);
    }
}

// Components after the drive: "\" separates, repeated backslashes collapse, "." and ".." are
// resolved as Windows does (".." stops at the root, so no path leaves its drive).
void appendComponents(QStringList& components, QStringView rest, bool wildcardsInLast)
{
    const auto parts = rest.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString part = parts[i].toString();
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!components.isEmpty())
                components.removeLast();
            continue;
        }
        checkName(part, wildcardsInLast && i == parts.size() - 1);
        components.append(part);
    }
}

WinPath parse(const QString& windowsPath, bool wildcardsInLast = false)
{
    if (windowsPath.isEmpty())
        fail(err::BadFileName);
    WinPath result;
    QStringView rest(windowsPath);
    if (windowsPath.size() >= 2 && windowsPath[1] == QLatin1Char(':')) {
        if (!windowsPath[0].isLetter() || windowsPath[0].unicode() > 0x7f)
            fail(err::BadFileName);
        result.drive = windowsPath[0].toLower();
        rest = rest.mid(2); // "c:name" reads as "c:\name": the program has no current folder per drive
    } else {
        // Without a drive: relative to the current folder, or to its drive's root after a "\".
        result = parse(currentFolder());
        if (rest.startsWith(QLatin1Char('\\')))
            result.components.clear();
    }
    appendComponents(result.components, rest, wildcardsInLast);
    return result;
}

QString driveCRoot()
{
    QString root = qEnvironmentVariable("MAJ_DRIVE_C");
    if (root.isEmpty()) {
        QString prefix = qEnvironmentVariable("WINEPREFIX");
        if (prefix.isEmpty())
            prefix = QDir::homePath() + QStringLiteral("/.wine");
        root = prefix + QStringLiteral("/drive_c");
    }
    return QDir::cleanPath(QDir(root).absolutePath());
}

QString driveRoot(QChar drive)
{
    if (drive == QLatin1Char('c'))
        return driveCRoot();
    if (drive == QLatin1Char('z'))
        return QStringLiteral("/");
    fail(err::PathNotFound);
}

QString join(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The stored name of `name` in a host folder: the exact spelling when it exists, else the first
// entry in sorted order that differs only by letter case; empty when there is none.
QString storedName(const QString& folder, const QString& name)
{
    if (posix::entryType(join(folder, name)) != DT_UNKNOWN)
        return name;
    QString found;
    posix::forEachEntry(folder, [&](const QString& entry, unsigned char) {
        if (sameName(entry, name) && (found.isEmpty() || entry < found))
            found = entry;
    });
    return found;
}

// Host path of parsed components: existing ones as stored, the rest as written.
QString resolve(const QString& root, const QStringList& components)
{
    QString path = root;
    bool lookingUp = true;
    for (const QString& component : components) {
        if (lookingUp) {
            const QString stored = storedName(path, component);
            lookingUp = !stored.isEmpty();
            path = join(path, lookingUp ? stored : component);
        } else {
            path = join(path, component);
        }
    }
    return path;
}

QString parentOf(const QString& hostPath)
{
    return QFileInfo(hostPath).path();
}

[[noreturn]] void failErrno(int error, const QString& hostPath)
{
    // A missing file is 53 when its folder exists, 76 when the folder itself is missing.
    if (error == ENOENT)
        fail(posix::isDirectory(parentOf(hostPath)) ? err::FileNotFound : err::PathNotFound);
    fail(posix::errorNumber(error));
}

struct stat statOrFail(const QString& hostPath)
{
    struct stat st;
    if (::stat(QFile::encodeName(hostPath).constData(), &st) != 0)
        failErrno(errno, hostPath);
    return st;
}

// Hidden, system and archive bits from the extended attribute: the text form "0x20" (Samba's
// newer binary form also starts with that text, followed by a NUL and binary data).
std::optional<unsigned> readDosAttrib(int fd, const QString& hostPath)
{
    char buffer[256];
    const ssize_t size = fd >= 0
                             ? ::fgetxattr(fd, kDosAttrib, buffer, sizeof buffer)
                             : ::getxattr(QFile::encodeName(hostPath).constData(), kDosAttrib, buffer, sizeof buffer);
    // None, not supported, a form too long to be ours, or another form.
    if (size < 2 || buffer[0] != '0' || (buffer[1] != 'x' && buffer[1] != 'X'))
        return std::nullopt;
    unsigned bits = 0;
    const auto [end, error] = std::from_chars(buffer + 2, buffer + size, bits, 16);
    return error == std::errc() ? std::optional<unsigned>(bits) : std::nullopt;
}

// Writes the attribute; returns errno (0 on success).
int writeDosAttrib(int fd, const QString& hostPath, unsigned bits)
{
    const QByteArray value = "0x" + QByteArray::number(bits & kStoredBits, 16);
    const int rc =
        fd >= 0 ? ::fsetxattr(fd, kDosAttrib, value.constData(), value.size(), 0)
                : ::setxattr(QFile::encodeName(hostPath).constData(), kDosAttrib, value.constData(), value.size(), 0);
    return rc == 0 ? 0 : errno;
}

// Read-only from the mode (root writes whatever the mode), directory from the type, hidden also
// from a leading dot. A file without the extended attribute reads as archive, as under Wine.
unsigned attributesOf(const struct stat& st, const QString& name, std::optional<unsigned> stored)
{
    unsigned result = stored ? (*stored & (Hidden | System | Archive)) : (S_ISDIR(st.st_mode) ? 0u : Archive);
    if (!(st.st_mode & S_IWUSR))
        result |= ReadOnly;
    if (S_ISDIR(st.st_mode))
        result |= Directory;
    if (name.startsWith(QLatin1Char('.')))
        result |= Hidden;
    return result;
}

bool isNormalFile(const QString& hostPath)
{
    struct stat st;
    if (::stat(QFile::encodeName(hostPath).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return !(attributesOf(st, QFileInfo(hostPath).fileName(), readDosAttrib(-1, hostPath)) & (Hidden | System));
}

// Windows wildcards, letter case ignored: * any run, ? one character. By hand, as Qt's wildcards
// also read [...] as a set of characters, which Windows' do not.
bool globMatch(QStringView pattern, QStringView name)
{
    qsizetype p = 0, n = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == QLatin1Char('?') || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

// "*.*" and "name.*" also match names without a dot, as on Windows.
bool wildcardMatch(const QString& pattern, const QString& name)
{
    const QString p = pattern.toCaseFolded();
    const QString n = name.toCaseFolded();
    if (globMatch(p, n))
        return true;
    return p.endsWith(QLatin1String(".*")) && !n.contains(QLatin1Char('.')) && globMatch(QStringView(p).chopped(2), n);
}

// Temporary copies are ".maj-copy-" and six letters or digits.
constexpr char kCopyPrefix[] = ".maj-copy-";
constexpr int kCopySuffixLength = 6;

// Deletes the temporary copies an interrupted copy left in a folder (an earlier program killed
// between naming its copy and renaming it, or one that predates unnamed copies). A copy being
// written holds a lock on its file and stays.
void removeLeftoverCopies(const QString& folder)
{
    posix::forEachEntry(folder, [&](const QString& name, unsigned char type) {
        if (type == DT_DIR || name.size() != int(sizeof kCopyPrefix) - 1 + kCopySuffixLength ||
            !name.startsWith(QLatin1String(kCopyPrefix)))
            return;
        const QByteArray path = QFile::encodeName(join(folder, name));
        posix::UniqueFd fd(::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st;
        if (fd && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && !posix::isLockedByOther(fd.get(), true))
            ::unlink(path.constData());
    });
}

// The copy's data, written where an interruption leaves nothing behind: an unnamed file of the
// target's folder (O_TMPFILE), named only to be renamed over the target at once. Where the file
// system has no unnamed files (network shares), a named ".maj-copy-XXXXXX" file, deleted unless
// renamed, and by the next copy into the folder if the program is killed. Either holds a lock on
// its file while it lives, so that no other copy takes it for a leftover.
class TempFile
{
public:
    explicit TempFile(const QString& folder) : m_folder(QFile::encodeName(folder))
    {
        m_fd.reset(::open(m_folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
        if (!m_fd) {
            QByteArray path = m_folder + '/' + kCopyPrefix + QByteArray(kCopySuffixLength, 'X');
            m_fd.reset(::mkostemp(path.data(), O_CLOEXEC));
            if (!m_fd)
                fail(posix::errorNumber(errno));
            m_path = path;
        }
        posix::tryLock(m_fd.get(), F_WRLCK);
    }
    ~TempFile()
    {
        if (!m_path.isEmpty() && !m_renamed)
            ::unlink(m_path.constData());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return m_fd.get(); }
    // Replaces the target in one step; false with errno set when it could not.
    bool renameOver(const QByteArray& target)
    {
        if (m_path.isEmpty() && !link())
            return false;
        if (::rename(m_path.constData(), target.constData()) != 0)
            return false;
        m_renamed = true;
        return true;
    }

private:
    // Names the unnamed file beside the target: through /proc, or by its descriptor (which needs
    // a privilege) where /proc is missing.
    bool link()
    {
        static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd.get());
        for (int attempt = 0; attempt < 100; ++attempt) {
            QByteArray path = m_folder + '/' + kCopyPrefix;
            for (int i = 0; i < kCopySuffixLength; ++i)
                path += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
            int rc = ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, path.constData(), AT_SYMLINK_FOLLOW);
            if (rc != 0 && errno == ENOENT)
                rc = ::linkat(m_fd.get(), "", AT_FDCWD, path.constData(), AT_EMPTY_PATH);
            if (rc == 0) {
                m_path = path;
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false;
    }

    QByteArray m_folder;
    posix::UniqueFd m_fd;
    QByteArray m_path; // empty while the file has no name
    bool m_renamed = false;
};

// Returns the number of bytes read; `to` < 0 only hashes them. Each chunk is hashed on a second
// core while it is written and the next one read: SHA-256 costs about as much as the copy itself.
qint64 copyContent(int from, int to, Sha256* digest)
{
    static constexpr size_t kChunk = 1024 * 1024;
    std::vector<char> buffers[2] = {std::vector<char>(kChunk), std::vector<char>(kChunk)};
    std::future<void> hashing; // of the chunk before; waited for before its buffer is read into again
    qint64 copied = 0;
    for (int turn = 0;; turn ^= 1) {
        std::vector<char>& buffer = buffers[turn];
        const ssize_t got = posix::retry([&] { return ::read(from, buffer.data(), buffer.size()); });
        if (hashing.valid())
            hashing.get();
        if (got < 0)
            fail(posix::errorNumber(errno));
        if (got == 0)
            return copied;
        if (digest)
            hashing =
                std::async(std::launch::async, [digest, &buffer, got] { digest->add(buffer.data(), size_t(got)); });
        if (to >= 0) {
            if (!posix::writeAll(to, buffer.data(), static_cast<size_t>(got)))
                fail(posix::errorNumber(errno));
            // The disk starts on what is written while the rest is read and hashed: the final
            // fsync then waits for little. A failure here is the fsync's to report.
            ::sync_file_range(to, copied, got, SYNC_FILE_RANGE_WRITE);
        }
        copied += got;
    }
}

QString searchFolder(const QString& folder, const QString& name, int depth)
{
    QString found;
    QStringList subfolders;
    posix::forEachEntry(folder, [&](const QString& entry, unsigned char type) {
        if (type == DT_UNKNOWN)
            type = posix::entryType(join(folder, entry));
        if (type == DT_DIR)
            subfolders.append(entry); // a link to a folder is not followed: no loops
        else if (found.isEmpty() && sameName(entry, name) && posix::entryType(join(folder, entry), true) == DT_REG)
            found = entry;
    });
    if (!found.isEmpty())
        return join(folder, found);
    if (depth >= kMaxSearchDepth)
        return {};
    for (const QString& sub : std::as_const(subfolders)) {
        QString result = searchFolder(join(folder, sub), name, depth + 1);
        if (!result.isEmpty())
            return result;
    }
    return {};
}

} // namespace

QString driveCText()
{
    const QString from = qEnvironmentVariableIsEmpty("MAJ_DRIVE_C")
                             ? (qEnvironmentVariableIsEmpty("WINEPREFIX") ? QStringLiteral("$HOME/.wine/drive_c")
                                                                          : QStringLiteral("$WINEPREFIX/drive_c"))
                             : QStringLiteral("MAJ_DRIVE_C");
    return driveCRoot() + QStringLiteral(" (") + from + QLatin1Char(')');
}

void requireOnDriveC(const QString& folder)
{
    if (!QFileInfo(driveCRoot()).isDir())
        throw MajError(err::PathNotFound, QStringLiteral("Le lecteur c: devrait être le dossier ") + driveCText() +
                                              QStringLiteral(", qui n'existe pas : rien n'a été modifié."));
    if (!folderExists(folder))
        throw MajError(err::PathNotFound,
                       QStringLiteral("Le dossier ") + folder +
                           QStringLiteral(" est introuvable sur le lecteur c:, qui est le dossier ") + driveCText() +
                           QStringLiteral(" : rien n'a été modifié."));
}

QString hostPath(const QString& windowsPath)
{
    const WinPath path = parse(windowsPath);
    return resolve(driveRoot(path.drive), path.components);
}

QString windowsPath(const QString& hostPath)
{
    const QString path = QDir::cleanPath(QDir(hostPath).absolutePath());
    const QString root = driveCRoot();
    // The process's current folder comes with symbolic links resolved: try the root both ways.
    for (const QString& drive : {root, QFileInfo(root).canonicalFilePath()}) {
        const QString prefix = drive.endsWith(QLatin1Char('/')) ? drive : drive + QLatin1Char('/');
        if (!drive.isEmpty() && (path == drive || path.startsWith(prefix)))
            return QStringLiteral("c:\\") + path.mid(prefix.size()).replace(QLatin1Char('/'), QLatin1Char('\\'));
    }
    return QStringLiteral("z:\\") + path.mid(1).replace(QLatin1Char('/'), QLatin1Char('\\'));
}

bool fileExists(const QString& windowsPath)
{
    try {
        struct stat st;
        return ::stat(QFile::encodeName(hostPath(windowsPath)).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
    } catch (const MajError&) {
        return false; // a name that cannot exist
    }
}

bool folderExists(const QString& windowsPath)
{
    try {
        return posix::isDirectory(hostPath(windowsPath));
    } catch (const MajError&) {
        return false; // a name that cannot exist
    }
}

unsigned attributes(const QString& windowsPath)
{
    const QString host = hostPath(windowsPath);
    return attributesOf(statOrFail(host), QFileInfo(host).fileName(), readDosAttrib(-1, host));
}

void setAttributes(const QString& windowsPath, unsigned attributes)
{
    const QString host = hostPath(windowsPath);
    const struct stat st = statOrFail(host);
    const QByteArray encoded = QFile::encodeName(host);
    const mode_t mode = (attributes & ReadOnly) ? (st.st_mode & ~mode_t(0222)) : (st.st_mode | S_IWUSR);

    const auto changeMode = [&] {
        if ((mode & 07777) != (st.st_mode & 07777) && ::chmod(encoded.constData(), mode & 07777) != 0)
            failErrno(errno, host);
    };
    // Without write permission a non-root owner may not change a user extended attribute, so
    // write access is granted before the attribute is written and withdrawn after.
    if (!(attributes & ReadOnly))
        changeMode();
    const int error = writeDosAttrib(-1, host, attributes);
    if (error == ENOTSUP) {
        // A file system without extended attributes keeps only read-only (the write bit).
        if (attributes & (Hidden | System))
            fail(err::PathFileAccess);
    } else if (error != 0) {
        failErrno(error, host);
    }
    if (attributes & ReadOnly)
        changeMode();
}

struct StagedCopy::Data
{
    QString to;
    posix::UniqueFd in; // holds the shared lock on the source until the copy is in place
    std::optional<TempFile> temp;
};

StagedCopy::StagedCopy(const QString& source, const QString& target, Sha256* digest) : m_data(std::make_unique<Data>())
{
    const QString from = hostPath(source);
    const QString to = hostPath(target);
    m_data->to = to;

    posix::UniqueFd& in = m_data->in;
    in.reset(::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC));
    if (!in)
        failErrno(errno, from);
    struct stat sourceStat;
    if (::fstat(in.get(), &sourceStat) != 0)
        fail(posix::errorNumber(errno));
    if (!S_ISREG(sourceStat.st_mode))
        fail(err::PathFileAccess);
    // Deny-write sharing: a shared lock fails while another process holds a write lock on any
    // part of the file (a running application, an SQLite write transaction). Held until the end.
    if (!posix::tryLock(in.get(), F_RDLCK))
        fail(err::PermissionDenied);
    // The running application keeps the file open for writing between two writes too, holding
    // no lock then: any other process of this machine with it open so counts as well.
    if (posix::isOpenForWritingElsewhere(sourceStat.st_dev, sourceStat.st_ino))
        fail(err::PermissionDenied);

    const QString folder = parentOf(to);
    if (!posix::isDirectory(folder))
        fail(err::PathNotFound);
    struct stat targetStat;
    if (::stat(QFile::encodeName(to).constData(), &targetStat) == 0) {
        if (S_ISDIR(targetStat.st_mode) || !(targetStat.st_mode & S_IWUSR))
            fail(err::PathFileAccess);
        // A target that another process is using inside a transaction would be replaced under
        // it and its writes lost; Windows refuses to open such a file as well.
        posix::UniqueFd busy(::open(QFile::encodeName(to).constData(), O_RDONLY | O_CLOEXEC));
        if (busy && posix::isLockedByOther(busy.get(), false))
            fail(err::PermissionDenied);
    }

    removeLeftoverCopies(folder);
    TempFile& temp = m_data->temp.emplace(folder);
    const qint64 copied = copyContent(in.get(), temp.fd(), digest);
    // A source that changed while it was read gives a copy of no state it ever had.
    struct stat after;
    if (::fstat(in.get(), &after) != 0 || copied != after.st_size || after.st_size != sourceStat.st_size ||
        after.st_mtim.tv_sec != sourceStat.st_mtim.tv_sec || after.st_mtim.tv_nsec != sourceStat.st_mtim.tv_nsec)
        fail(err::PathFileAccess);
    // The copy carries the source's attributes and the archive bit of a file just written.
    const std::optional<unsigned> stored = readDosAttrib(in.get(), from);
    const unsigned bits = (stored ? *stored & (Hidden | System) : 0u) | Archive;
    if (const int error = writeDosAttrib(temp.fd(), {}, bits); error != 0 && error != ENOTSUP)
        fail(posix::errorNumber(error));
    if (::fchmod(temp.fd(), sourceStat.st_mode & 0777) != 0)
        fail(posix::errorNumber(errno));
    const struct timespec times[2] = {{0, UTIME_NOW}, sourceStat.st_mtim};
    if (::futimens(temp.fd(), times) != 0)
        fail(posix::errorNumber(errno));
    if (::fsync(temp.fd()) != 0)
        fail(posix::errorNumber(errno));
}

StagedCopy::~StagedCopy() = default;

void StagedCopy::replaceTarget()
{
    if (!m_data->temp->renameOver(QFile::encodeName(m_data->to)))
        failErrno(errno, m_data->to);
    posix::syncFolder(parentOf(m_data->to));
}

void copyFile(const QString& source, const QString& target, Sha256* digest)
{
    StagedCopy(source, target, digest).replaceTarget();
}

QByteArray sha256(const QString& windowsPath)
{
    const QString host = hostPath(windowsPath);
    posix::UniqueFd in(::open(QFile::encodeName(host).constData(), O_RDONLY | O_CLOEXEC));
    if (!in)
        failErrno(errno, host);
    Sha256 digest;
    copyContent(in.get(), -1, &digest);
    return digest.hex();
}

bool isInUseElsewhere(const QString& windowsPath)
{
    const QString host = hostPath(windowsPath);
    posix::UniqueFd fd(::open(QFile::encodeName(host).constData(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (!fd || ::fstat(fd.get(), &st) != 0)
        return false;
    return posix::isLockedByOther(fd.get(), true) || posix::isOpenForWritingElsewhere(st.st_dev, st.st_ino);
}

void createFolder(const QString& windowsPath)
{
    const QString host = hostPath(windowsPath);
    if (!posix::isDirectory(parentOf(host)))
        fail(err::PathNotFound);
    // Any name already there, a folder or not, is EEXIST.
    if (::mkdir(QFile::encodeName(host).constData(), 0777) != 0)
        fail(errno == EEXIST ? err::PathFileAccess : posix::errorNumber(errno));
}

QStringList listFiles(const QString& pattern)
{
    // A pattern ending with a backslash lists the whole folder.
    const bool wholeFolder = pattern.endsWith(QLatin1Char('\\'));
    const WinPath path = parse(wholeFolder ? pattern + QLatin1Char('*') : pattern, true);
    if (path.components.isEmpty())
        return {};
    const QString namePattern = path.components.last();
    const QString folder = resolve(driveRoot(path.drive), path.components.mid(0, path.components.size() - 1));
    if (!posix::isDirectory(folder))
        return {}; // as Dir does: nothing matches in a folder that does not exist

    QStringList names;
    if (!namePattern.contains(u'*') && !namePattern.contains(u'?')) {
        const QString name = storedName(folder, namePattern);
        if (!name.isEmpty() && isNormalFile(join(folder, name)))
            names.append(name);
        return names;
    }
    posix::forEachEntry(folder, [&](const QString& entry, unsigned char type) {
        if (type == DT_DIR || !wildcardMatch(namePattern, entry))
            return;
        if (isNormalFile(join(folder, entry)))
            names.append(entry);
    });
    // The file system's order is arbitrary; sorted names make every run empty a folder alike.
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

void deleteFile(const QString& windowsPath)
{
    const QString host = hostPath(windowsPath);
    const QByteArray encoded = QFile::encodeName(host);
    struct stat st;
    if (::lstat(encoded.constData(), &st) != 0)
        failErrno(errno, host);
    if (S_ISDIR(st.st_mode))
        fail(err::FileNotFound); // Kill deletes files only
    if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR))
        fail(err::PathFileAccess);
    if (::unlink(encoded.constData()) != 0)
        failErrno(errno, host);
}

QDateTime lastModified(const QString& windowsPath)
{
    const struct stat st = statOrFail(hostPath(windowsPath));
    return QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000);
}

QString currentFolder()
{
    return windowsPath(QDir::currentPath());
}

QString searchTreeForFile(const QString& root, const QString& name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('\\')))
        fail(err::BadFileName);
    checkName(name, false);
    const QString folder = hostPath(root);
    if (!posix::isDirectory(folder))
        return {};
    const QString found = searchFolder(folder, name, 1);
    return found.isEmpty() ? QString() : windowsPath(found);
}

} // namespace maj::fs
