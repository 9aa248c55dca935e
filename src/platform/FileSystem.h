#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// The file system as the program speaks of it: Windows paths ("c:\praxidome\pat.mdb") mapped onto
// this machine. Drive c: is $MAJ_DRIVE_C, else ${WINEPREFIX:-$HOME/.wine}/drive_c; drive z: is /.
// Names match without regard to letter case, component by component. Every failure throws
// MajError with the old platform's number (53, 70, 75, 76...).
namespace maj::fs {

// DOS attribute bits.
enum Attribute : unsigned {
    Normal = 0,
    ReadOnly = 0x01,
    Hidden = 0x02,
    System = 0x04,
    Directory = 0x10,
    Archive = 0x20,
};

// The host path of a Windows path. Existing components are found whatever their letter case; the
// components that do not exist are kept as written. A component holding \ / : * ? " < > | is
// refused (52), a drive other than c: and z: too (76).
QString hostPath(const QString& windowsPath);
// The Windows path of a host path: under drive c: as "c:\...", elsewhere as "z:\...".
QString windowsPath(const QString& hostPath);

bool fileExists(const QString& windowsPath);
bool folderExists(const QString& windowsPath);

unsigned attributes(const QString& windowsPath);
void setAttributes(const QString& windowsPath, unsigned attributes);
// Keeps only the archive attribute: clears read-only, hidden and system.
inline void setArchiveOnly(const QString& windowsPath)
{
    setAttributes(windowsPath, Archive);
}

// Copies a file over another, as the Windows copy does: replaces the target, fails (75) on a
// read-only target and (70) while another process holds the source open for writing, keeps the
// source's modification time. Writes a temporary file beside the target and renames it over it.
void copyFile(const QString& source, const QString& target);
// Creates one folder level: an existing folder is an error (75), a missing parent too (76).
void createFolder(const QString& windowsPath);
// Names (no folder part) of the files matching a pattern ("c:\x\*.*", "c:\x\*.pxd", an exact
// path) that carry normal attributes: neither hidden nor system, never folders. Names as stored.
QStringList listFiles(const QString& pattern);
void deleteFile(const QString& windowsPath);
QDateTime lastModified(const QString& windowsPath);
// The process's current folder as a Windows path, without a final backslash except at a root.
QString currentFolder();
// Full Windows path of the first file named `name` in the tree under `root` (at most 32 levels
// deep, in the file system's order), or an empty text.
QString searchTreeForFile(const QString& root, const QString& name);

} // namespace maj::fs
