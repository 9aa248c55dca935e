#include "AppTestSupport.h"
#include "Sample.h"
#include "SqliteFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <optional>

using namespace maj;
using namespace maj::test;

namespace {

// A practice and its release medium under `dir`, from the demo's generator.
sample::Options layOut(const QTemporaryDir& dir, const QString& drive, int codes, int patients, bool client = false,
                       unsigned faults = 0)
{
    sample::Options o;
    o.drive = dir.filePath(drive);
    o.medium = dir.filePath("medium");
    o.codes = codes;
    o.newCodes = 3;
    o.sharedPercent = 90; // codes the release dropped stay unchanged
    o.patients = patients;
    o.treatments = patients * 5;
    o.client = client;
    o.faults = faults;
    sample::layOut(o);
    return o;
}

QString compact(const QJsonValue& value)
{
    return QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact);
}

// What a run did to the code table, told by SQLite's JSON functions: the rows it added, and the
// columns of each row it changed.
QJsonObject runChanges(const QString& before, const QString& after)
{
    QStringList unpivot;
    const QString names =
        scalar(after, "SELECT group_concat(name, '|') FROM pragma_table_info('nomenclature')").toString();
    for (const QString& name : names.split('|'))
        unpivot << QString("SELECT a.rowid AS r, a.\"code inami\" AS code, '%1' AS name, o.\"%1\" AS old, "
                           "a.\"%1\" AS new FROM nomenclature AS a JOIN b.nomenclature AS o ON o.rowid = a.rowid "
                           "WHERE a.\"%1\" IS NOT o.\"%1\"")
                       .arg(name);
    const QString added = "SELECT json_group_array(json_object('code', \"code inami\", 'abbreviation', ABREVIATION)) "
                          "FROM (SELECT * FROM nomenclature WHERE rowid NOT IN (SELECT rowid FROM b.nomenclature) "
                          "ORDER BY rowid)";
    const QString changed = "SELECT json_group_array(json_object('code', code, 'columns', json(cols))) FROM (SELECT r, "
                            "code, json_group_object(name, json_object('old', old, 'new', new)) AS cols FROM (" +
                            unpivot.join(" UNION ALL ") + ") GROUP BY r ORDER BY r)";
    sample::sql::Database db(after, sample::sql::ReadOnly);
    db.exec(QString("ATTACH DATABASE '%1' AS b").arg(before));
    sample::sql::Statement answer =
        db.prepare("SELECT json_object('added', json((" + added + ")), 'changed', json((" + changed + ")))");
    answer.step();
    return QJsonDocument::fromJson(answer.column(0).toString().toUtf8()).object();
}

// The preview, then the real sequence on a copy of the same installation: the preview lists the
// very rows the run adds and changes, with their columns, the duplicates the check lists and the
// messages the run shows; it changes no file of the installation or of the medium, also while
// another process holds pat.mdb in a write transaction.
TEST(Preview, TellsWhatTheRunThenDoesAndChangesNothing)
{
    // The name, a client workstation, the sample's faults, clash: a unique index stops nouv at the
    // release's last new code, crash: a writer killed in a transaction left its journal beside pat.mdb
    // (else one writes), the codes added.
    const std::tuple<const char*, bool, unsigned, bool, bool, int> cases[] = {
        {"server", false, 0, false, false, 3},
        {"duplicates and quotes", false,
         unsigned(sample::Fault::DuplicateAbbreviation) | unsigned(sample::Fault::Apostrophe) |
             unsigned(sample::Fault::NullAbbreviation) | unsigned(sample::Fault::MissingHelp),
         false, false, 3},
        {"nouv stopped by a duplicate", false, 0, true, false, 2},
        {"client", true, 0, false, false, 0},
        {"a crash's journal", false, 0, false, true, 3},
    };
    for (const auto& [name, client, faults, clash, crash, added] : cases) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        const sample::Options o = layOut(dir, "preview", 60, 10, client, faults);
        const QString pat = o.drive + "/praxidome/pat.mdb";
        if (clash) {
            exec(pat, "CREATE UNIQUE INDEX one_code ON nomenclature (ABREVIATION); "
                      "UPDATE nomenclature SET ABREVIATION = 'TAKEN' WHERE rowid = 1");
            exec(o.medium + "/eattest.mdb",
                 QString("ATTACH DATABASE '%1' AS p; UPDATE nomen SET ABREVIATION = 'TAKEN' WHERE rowid = (SELECT "
                         "max(rowid) FROM nomen WHERE \"code inami\" NOT IN (SELECT \"code inami\" FROM "
                         "p.nomenclature))")
                     .arg(pat));
        }
        StepFixture run; // the real sequence, on a copy
        ASSERT_EQ(QProcess::execute("cp", {"-a", o.drive + "/.", run.drive.host()}), 0);
        QFile::copy(pat, dir.filePath("before.mdb"));
        CurrentFolder medium(o.medium);

        if (crash) {
            ASSERT_TRUE(crashInTransaction(pat, "UPDATE nomenclature SET HONORAIRE = 0; CREATE TABLE crash AS WITH "
                                                "RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                                                "2000) SELECT randomblob(500) FROM n"));
        }
        const QStringList before = hashes({o.drive, o.medium});
        QString out, text;
        {
            EnvironmentValue drive("MAJ_DRIVE_C", o.drive);
            std::optional<OtherProcess> application;
            if (!crash)
                application.emplace(pat, OtherProcess::Hold::SqliteWriter);
            ASSERT_TRUE(crash || application->held());
            ASSERT_EQ(command({"--preview", "--json"}, &out), 0) << out.toStdString();
            EXPECT_EQ(command({"--preview"}, &text), 0);
        }
        EXPECT_EQ(hashes({o.drive, o.medium}), before);
        EXPECT_TRUE(text.contains(client ? QString("Nomenclature : un poste client ne la modifie pas")
                                         : QString("Nomenclature : %1 codes ajoutés, ").arg(added)))
            << text.left(2000).toStdString();
        const QJsonObject preview = QJsonDocument::fromJson(out.toUtf8()).object();
        EXPECT_EQ(preview["running"].toBool(), !crash);
        EXPECT_TRUE(preview["transfer"]["tls"].toBool() && text.contains("Transferts vers Norvix : chiffrés"));

        activate(run);
        run.f.window.chkXP = true; // nothing sent
        run.runStep(Command1_Click);

        const QJsonObject done = runChanges(dir.filePath("before.mdb"), run.drive.host("praxidome/pat.mdb"));
        EXPECT_EQ(compact(preview["added"]), compact(done["added"]));
        EXPECT_EQ(compact(preview["changed"]), compact(done["changed"]));
        // A client compares nothing.
        EXPECT_EQ(preview["unchanged"].toInteger(),
                  client ? 0
                         : scalar(dir.filePath("before.mdb"), "SELECT count(*) FROM nomenclature").toLongLong() -
                               done["changed"].toArray().size());
        QStringList listed = run.f.window.l.mid(1);
        listed.removeAll(" ");
        EXPECT_EQ(preview["duplicates"].toVariant().toStringList(), listed);
        EXPECT_EQ(preview["duplicates"].toArray().isEmpty(), !faults);
        EXPECT_EQ(preview["messages"].toVariant().toStringList(), run.ui.messages);
        EXPECT_EQ(preview["registration"]["written"].toBool(), true);
        EXPECT_EQ(preview["report"]["lines"].toArray().size(), client ? 1 : 5);
        EXPECT_EQ(preview["files"].toArray().size(), client ? 6 : 7);
    }
}

// A preview that cannot be made says why in French and changes nothing.
TEST(Preview, FailuresAreToldInFrench)
{
    // The sample's faults, a file removed from the installation, whether left at zero length instead, what is said.
    const std::tuple<unsigned, const char*, bool, const char*> cases[] = {
        {unsigned(sample::Fault::MissingEattest), nullptr, false, "Aucune mise à jour n'a été trouvée"},
        {0, "pat.mdb", false, "c:\\praxidome\\pat.mdb est introuvable"},
        {0, "pat.mdb", true, "La nomenclature de c:\\praxidome\\pat.mdb n'a pu être comparée : "},
    };
    for (const auto& [faults, removed, emptied, says] : cases) {
        SCOPED_TRACE(says);
        QTemporaryDir dir;
        const sample::Options o = layOut(dir, "c", 20, 5, false, faults);
        if (removed && emptied)
            QFile(o.drive + "/praxidome/" + removed).resize(0);
        else if (removed)
            QFile::remove(o.drive + "/praxidome/" + removed);
        EnvironmentValue drive("MAJ_DRIVE_C", o.drive);
        CurrentFolder medium(o.medium);
        const QStringList before = hashes({dir.path()});
        QString said, err;
        EXPECT_EQ(command({"--preview"}, &said, &err), 1);
        EXPECT_TRUE(err.contains(says)) << err.toStdString();
        EXPECT_EQ(said, err); // nothing on the standard output
        EXPECT_EQ(hashes({dir.path()}), before);
    }
}

} // namespace
