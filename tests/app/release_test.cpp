#include "AppTestSupport.h"
#include "preview/Preview.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

// A key pair made as the maker makes one; the public key as the program reads it.
signify::PublicKey makeKey(const QString& dir, const QString& name)
{
    const QString base = dir + '/' + name;
    EXPECT_EQ(QProcess::execute("signify-openbsd", {"-G", "-n", "-p", base + ".pub", "-s", base + ".sec"}), 0);
    QFile pub(base + ".pub");
    EXPECT_TRUE(pub.open(QIODevice::ReadOnly));
    return signify::publicKey(name + ".pub", pub.readAll().split('\n').value(1)).value();
}

// The maker's two commands: the list of the medium's files, then its signature with the list in it.
void sign(const QString& medium, const QString& secret, const QString& leftOut)
{
    QStringList files = QDir(medium).entryList(QDir::Files);
    files.removeAll(leftOut);
    QProcess list;
    list.setWorkingDirectory(medium);
    list.setStandardOutputFile(secret + ".list");
    list.start("sha256sum", QStringList{"--tag"} + files);
    ASSERT_TRUE(list.waitForFinished() && list.exitCode() == 0);
    ASSERT_EQ(QProcess::execute("signify-openbsd",
                                {"-S", "-e", "-s", secret, "-m", secret + ".list", "-x", medium + "/SHA256.sig"}),
              0);
}

// A line of the list in SHA256.sig, added to it or in place of all.
void writeListLine(const QString& medium, QIODevice::OpenMode mode, const QByteArray& file)
{
    QFile sig(medium + "/SHA256.sig");
    ASSERT_TRUE(sig.open(mode));
    sig.write("SHA256 (" + file + ") = " + QByteArray(64, 'a') + "\n");
}

// Each release as the opening and the preview find it: signed by either key, it runs and installs
// the signed eattest.mdb (its name matched in any letter case); not as signed, or older than the
// installed update, it is refused with status 8 and nothing changes but the log. A file swapped
// after the opening check, or one the list leaves out, is never installed.
TEST(Release, SignedByAKeyRunsAnythingElseIsRefusedAndChangesNothing)
{
    QTemporaryDir keys;
    const std::vector<signify::PublicKey> built = {makeKey(keys.path(), "actif"), makeKey(keys.path(), "secours")};
    makeKey(keys.path(), "autre");
    const auto refused = [](const char* what) {
        return QString("Le support de la mise à jour n'est pas authentique (%1) : rien n'a été modifié.").arg(what);
    };
    const QString older = "Cette mise à jour (n° 38) est plus ancienne que la dernière installée (n° 39) : rien "
                          "n'a été modifié.";
    // The name; the signer (nullptr: unsigned; the program has keys only when a signer is named); the
    // update recorded; what changes the medium after the signature; the refusal; swapped: the
    // release's eattest.mdb replaced once the opening checked it; unlisted: left out of the list.
    const std::tuple<const char*, const char*, const char*, void (*)(const QString&), QString, bool, bool> cases[] = {
        {"active key", "actif", "37", nullptr, {}, false, false},
        {"spare key, same update again", "secours", "38", nullptr, {}, false, false},
        {"changed in place", "actif", "37",
         [](const QString& m) { exec(m + "/eattest.mdb", "PRAGMA user_version = 1"); },
         refused("eattest.mdb a été modifié"), false, false},
        {"listed file missing", "actif", "37", [](const QString& m) { QFile::remove(m + "/aide.htm"); },
         refused("aide.htm est absent"), false, false},
        {"list edited", "actif", "37", [](const QString& m) { writeListLine(m, QIODevice::Append, "x"); },
         refused("la liste de SHA256.sig a été modifiée après sa signature"), false, false},
        {"not a signature", "actif", "37", [](const QString& m) { writeListLine(m, QIODevice::WriteOnly, "aide.htm"); },
         refused("SHA256.sig est illisible"), false, false},
        {"foreign key", "autre", "37", nullptr, refused("SHA256.sig est signé par une clé inconnue"), false, false},
        {"over a megabyte", "actif", "37",
         [](const QString& m) {
             QFile sig(m + "/SHA256.sig");
             ASSERT_TRUE(sig.open(QIODevice::Append));
             sig.write(QByteArray(1 << 20, '\n'));
         },
         refused("SHA256.sig est illisible"), false, false},
        {"no SHA256.sig", "actif", "37", [](const QString& m) { QFile::remove(m + "/SHA256.sig"); },
         refused("SHA256.sig est absent"), false, false},
        {"older update", "actif", " 39", nullptr, older, false, false},
        {"older update, no keys", nullptr, "39", nullptr, older, false, false},
        {"no number recorded, no keys", nullptr, "39b", nullptr, {}, false, false},
        {"swapped after the check", "actif", "37", nullptr, {}, true, false},
        {"eattest.mdb not listed", "actif", "37", nullptr, {}, false, true},
    };
    for (const auto& [name, signer, recorded, tamper, refusal, swapped, unlisted] : cases) {
        SCOPED_TRACE(name);
        StepFixture s;
        installPractice(s.drive);
        exec(s.drive.host("praxidome/parametres.mdb"), QString("UPDATE parapat SET NUMERO_MAJ = '%1'").arg(recorded));
        const QString medium = s.drive.host("CD");
        const CurrentFolder current = layMedium(s.drive, "('NEW', '300001')");
        const QString codes = medium + (name == QString("active key") ? "/EATTEST.MDB" : "/eattest.mdb");
        QFile::rename(medium + "/eattest.mdb", codes);
        s.drive.write("CD/aide.htm", "<html>nouvelle aide</html>");
        if (signer)
            sign(medium, keys.filePath(QString(signer) + ".sec"), unlisted ? "eattest.mdb" : "");
        if (tamper)
            tamper(medium);
        const auto settings = [&](Form1Core& f) {
            setRunSettings(f);
            f.releaseKeys = signer ? built : std::vector<signify::PublicKey>{};
        };
        const QStringList before = hashes({s.drive.host()});

        const preview::Result p = preview::makePreview(s.clock, settings);
        EXPECT_EQ(p.refusal, refusal);
        EXPECT_EQ(p.authenticated, signer && (refusal.isEmpty() || refusal == older));
        EXPECT_EQ(p.key, p.authenticated ? QString(signer) + ".pub" : QString());
        EXPECT_EQ(hashes({s.drive.host()}), before);

        settings(s.f);
        if (!activate(s)) {
            EXPECT_EQ(s.ui.exitStatus(), ExitStatus::ReleaseRefused);
            EXPECT_EQ(s.ui.messages, QStringList{refusal});
            EXPECT_EQ(hashes({s.drive.host()}), before);
            continue;
        }
        ASSERT_TRUE(refusal.isEmpty()) << s.ui.messages.join('|').toStdString();
        EXPECT_EQ(s.f.release.key, p.key);
        const QByteArray installed = s.drive.read("praxidome/eattest.mdb");
        const QByteArray release = s.drive.read("CD/" + QFileInfo(codes).fileName());
        if (swapped)
            exec(codes, "INSERT INTO nomen (ABREVIATION, \"code inami\") VALUES ('EVIL', '300002')");
        s.f.window.chkXP = true; // nothing sent
        s.runStep(Command1_Click);
        EXPECT_EQ(s.ui.messages.contains("eattest.mdb n'a pu être copié !"), swapped || unlisted);
        EXPECT_EQ(s.drive.read("praxidome/eattest.mdb"), swapped || unlisted ? installed : release);
    }
}

} // namespace
