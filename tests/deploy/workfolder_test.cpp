#include "TestSupport.h"
#include "deploy/WorkFolder.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace maj;

namespace {

// Emptying the work folder keeps the release's files when the release was put there (a media
// kind other than "CD", or started from that folder), and the program being run, always.
TEST(WorkFolder, EmptyingKeepsTheReleasePutThereAndTheRunningProgram)
{
    test::TempDrive drive;
    const QStringList listed{"aide.htm",  "DPSI_P1.jpg",   "EATTEST.MDB", "maj.exe",
                             "notes.txt", "praxidome.exe", "r.pxd"};
    for (const QString& name : listed)
        drive.write("praxidome/MAJ/" + name);
    const QStringList others{"notes.txt", "r.pxd"};
    // The media kind, the folder started from, the running program's path on the drive ("": none), what goes.
    const std::tuple<const char*, const char*, const char*, QStringList> cases[] = {
        {"CD", "CD", "", listed},
        {"CD", "praxidome/MAJ", "", QStringList{"maj.exe"} + others},
        {"", "CD", "", QStringList{"maj.exe"} + others},
        {"CD",
         "CD",
         "praxidome/MAJ/maj.exe",
         {"aide.htm", "DPSI_P1.jpg", "EATTEST.MDB", "notes.txt", "praxidome.exe", "r.pxd"}},
        {"CD", "praxidome/MAJ", "praxidome/MAJ/maj.exe", others},
    };
    for (const auto& [mediaKind, startedFrom, programPath, deleted] : cases) {
        test::CurrentFolder started(drive.host(startedFrom));
        const QString program = *programPath ? drive.host(programPath) : QString();
        EXPECT_EQ(deploy::workFilesToDelete(listed, mediaKind, program), deleted)
            << mediaKind << " " << startedFrom << " " << programPath;
    }
}

} // namespace
