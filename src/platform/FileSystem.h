#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>

namespace maj {
class Sha256;
}

// The file system as the program speaks of it: Windows paths ("c:\dossier\fichier.mdb") mapped onto
// this machine. Drive c: is $MAJ_DRIVE_C, else ${WINEPREFIX:-$HOME/.wine}/drive_c; drive z: is /.
// Names match without regard to letter case, component by component. Every failure throws
// MajError with the old platform's number (53, 70, 75, 76...).
namespace maj::fs {

// DOS attribute bits.
enum Attribute : unsigned
{
    Normal = 0,
    ReadOnly = 0x01,
    Hidden = 0x02,
    System = 0x04,
    Directory = 0x10,
    Archive = 0x20,
};

// The host path of a Windows path. Existing components are found whatever their letter case; the
// components that do not exist are kept as written. A component holding \ / : * ? " < > | or a
// control character is refused (52), a drive other than c: and z: too (76). Repeated backslashes
// collapse; "." and ".." are resolved and never climb above the drive's root. A path without a
// drive is relative to the current folder ("\x": to its drive's root); "c:x" reads as "c:\x".
QString hostPath(const QString& windowsPath);
// The folder that stands for drive c: and where it comes from, in French:
// "/srv/cabinet/drive_c (MAJ_DRIVE_C)".
QString driveCText();
// Throws (76), in French and naming the folder that stands for drive c:, when that folder or `folder`
// (a Windows path on drive c:) does not exist.
void requireOnDriveC(const QString& folder);
// The Windows path of a host path: under drive c: as "c:\...", elsewhere as "z:\...".
// Throughout, a missing file is 53 and a missing folder on the way to it 76.
QString windowsPath(const QString& hostPath);

bool fileExists(const QString& windowsPath);
bool folderExists(const QString& windowsPath);

// Read-only is the user-write bit of the mode (root writes whatever the mode says); hidden, system
// and archive live in the user.DOSATTRIB extended attribute ("0x22"), a file without it reads as
// archive; a name starting with "." is always hidden.
unsigned attributes(const QString& windowsPath);
// Where the file system refuses extended attributes, hidden or system cannot be set (75); the
// read-only bit still can.
void setAttributes(const QString& windowsPath, unsigned attributes);
// Keeps only the archive attribute: clears read-only, hidden and system.
inline void setArchiveOnly(const QString& windowsPath)
{
    setAttributes(windowsPath, Archive);
}

// Copies a file over another, as the Windows copy does: replaces the target, fails (75) on a
// read-only target and (70) while another process holds the source open for writing, keeps the
// source's modification time. Writes an unnamed file beside the target and renames it over it, so
// that an interruption leaves no stray file (where a file system cannot, a ".maj-copy-" file that
// the next copy into the folder removes). "Held open for writing" is any other process of this
// machine with the source open for writing, or a POSIX write lock on it (SQLite writers, other
// machines across a share): the copy holds a shared lock on it throughout. A target locked by
// another process is refused (70) too, rather than replaced under it. The copy gets the source's
// read-only, hidden and system attributes, plus archive. Missing source 53, missing folder 76.
// `digest`, when given, receives the bytes copied.
void copyFile(const QString& source, const QString& target, Sha256* digest = nullptr);
// The checks and the copy of copyFile, the copy left beside its target until replaceTarget()
// renames it over the target in one step; destroyed before, it leaves nothing behind.
class StagedCopy
{
public:
    StagedCopy(const QString& source, const QString& target, Sha256* digest = nullptr);
    ~StagedCopy();
    StagedCopy(const StagedCopy&) = delete;
    StagedCopy& operator=(const StagedCopy&) = delete;
    void replaceTarget();

private:
    struct Data;
    std::unique_ptr<Data> m_data;
};
// The SHA-256 of a file's content, in hexadecimal.
QByteArray sha256(const QString& windowsPath);
// Whether another process holds a lock on the file, or another process of this machine has it
// open for writing: the application is using it. A missing file is not in use.
bool isInUseElsewhere(const QString& windowsPath);

// Creates one folder level: an existing folder is an error (75), a missing parent too (76).
void createFolder(const QString& windowsPath);
// Names (no folder part) of the files matching a pattern ("c:\x\*.*", "c:\x\*.pxd", an exact
// path) that carry normal attributes: neither hidden nor system, never folders. Names as stored,
// sorted without regard to letter case. Wildcards * and ? only in the last component; "*.*" also
// matches names without a dot. A folder that does not exist has no files.
QStringList listFiles(const QString& pattern);
// Deletes a file; a read-only one is refused (75) as Kill does, a folder is not a file (53).
void deleteFile(const QString& windowsPath);
// In local time.
QDateTime lastModified(const QString& windowsPath);
// The process's current folder as a Windows path, without a final backslash except at a root.
QString currentFolder();
// Full Windows path of the first file named `name` (letter case ignored) in the tree under `root`,
// or an empty text: each folder's own files first, then its subfolders in the file system's
// order, down to 32 folders counting the root; symbolic links to folders are not followed.
QString searchTreeForFile(const QString& root, const QString& name);

} // namespace maj::fs
