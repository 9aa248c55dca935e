// Every step that writes, with the k-th write, sync or truncate of its files failing, for each k
// up to the number of I/Os the step makes: the files stay sound, each row and definition is the one
// before or the one after the step, and a run that shows no failure has lost nothing.

#include "FaultVfs.h"
#include "NomenTest.h"
#include "db/DbSteps.h"
#include "platform/jet/Sqlite.h"

#include <QDir>
#include <QMap>

using namespace maj;
using namespace maj::test;

namespace {

using Snapshot = QMap<QString, QString>; // "schema:name" or "table:rowid" -> its content

Snapshot snapshot(const QString& folder)
{
    Snapshot result;
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.mdb")}, QDir::Files)) {
        sqlite::Connection db(folder + QLatin1Char('/') + name, sqlite::Connection::Mode::ReadOnly);
        QStringList tables;
        auto schema = db.prepare(QStringLiteral("SELECT name, type, sql FROM sqlite_master"));
        while (schema.step()) {
            result.insert(name + QStringLiteral(" schema:") + schema.column(0).toString(), schema.column(2).toString());
            if (schema.column(1).toString() == QLatin1String("table"))
                tables.append(schema.column(0).toString());
        }
        for (const QString& table : tables) {
            auto rows = db.prepare(QStringLiteral("SELECT rowid, * FROM \"%1\"").arg(table));
            while (rows.step()) {
                QStringList values;
                for (int c = 1; c < rows.columnCount(); ++c) {
                    const QVariant v = rows.column(c);
                    values.append(v.isValid() ? QString::fromLatin1(v.typeName()) + v.toString() : QStringLiteral("∅"));
                }
                result.insert(name + QLatin1Char(' ') + table + QLatin1Char(':') + rows.column(0).toString(),
                              values.join(QLatin1Char('|')));
            }
        }
    }
    return result;
}

void createInstallation(NomenFixture& t)
{
    t.createAll();
    for (const auto& [file, schema] : {std::pair{"pannexe", "pannexe"},
                                       {"parametres", "parametres"},
                                       {"rappels", "rappels"},
                                       {"etarification", "etarification"}})
        createDatabase(t.drive.host(QStringLiteral("praxidome/%1.mdb").arg(file)), schema);
    t.addRows(patPath, QStringLiteral("nomenclature"),
              {fullRow(QStringLiteral("308335."), 1), fullRow(QStringLiteral("111"), 1),
               fullRow(QStringLiteral("222"), 1), fullRow(QStringLiteral("307274."), 1)});
    t.addRows(
        eattestPath, QStringLiteral("nomen"),
        {fullRow(QStringLiteral("111"), 0), fullRow(QStringLiteral("333"), 0), fullRow(QStringLiteral("444"), 0)});
    t.addRows(trajPath, QStringLiteral("nomenclature"), {fullRow(QStringLiteral("222"), 0)});
    exec(t.drive.host("praxidome/pat.mdb"), "INSERT INTO patients (NUMPAT, NOM, ADRESSE, CLESIS) VALUES "
                                            "(1, 'A', 'rue 1', 'k1'), (2, 'B', 'rue 2', NULL), (3, 'C', NULL, 'k3')");
    exec(t.drive.host("praxidome/parametres.mdb"), "INSERT INTO parapat (ID, NUMERO_MAJ) VALUES (1, '37')");
    exec(t.drive.host("praxidome/rappels.mdb"),
         "INSERT INTO Attestationsdifferees (NUMATTEST, ADRESSE) VALUES (1, 'rue 1');"
         "INSERT INTO rappelsvisite (NUMRAPPEL, ADRESSE) VALUES (1, 'rue 2')");
    t.f.window.lbldate = QStringLiteral("01/01/2021");
    t.f.window.lblnumerodemaj = QStringLiteral("38");
}

struct WritingStep
{
    const char* name;
    void (*run)(Form1Core&);
    void (*bind)(NomenFixture&); // the bindings the step finds
};

void importBindings(NomenFixture& t)
{
    t.bindForImport();
}
void codeTable(NomenFixture& t)
{
    t.f.data.Data1.bind(patPath, QStringLiteral("nomenclature"));
}
void patientTable(NomenFixture& t)
{
    t.f.data.Data3.bind(patPath, QStringLiteral("patients"));
}
void nothing(NomenFixture&) {}

const WritingStep kSteps[] = {
    {"nouv", nouv, importBindings},
    {"anciens", anciens, importBindings},
    {"synchrotrajet", synchrotrajet, nothing},
    {"inscritdate", inscritdate, nothing},
    {"rejetsetar", rejetsetar, nothing},
    {"detruitcodesinami", detruitcodesinami, codeTable},
    {"effaceclesis", effaceclesis, patientTable},
    {"Changertaillebase", Changertaillebase, nothing},
    {"Changertailleadresse", Changertailleadresse, nothing},
    {"Changertailleadresserappels", Changertailleadresserappels, nothing},
    {"creertpauto", creertpauto, nothing},
};

struct Outcome
{
    Snapshot files;
    bool told = false; // a message, or a failure passed on to the sequence's handler, which shows it
    bool integrity = true;
};

// Runs the step on a fresh installation with the k-th I/O failing (0: none); *ios gets the count.
Outcome runWithFault(FaultVfs& vfs, const WritingStep& step, int k, FaultVfs::Fault fault, int* ios = nullptr)
{
    NomenFixture t;
    createInstallation(t);
    step.bind(t);
    Outcome outcome;
    vfs.arm(k, fault);
    try {
        step.run(t.f);
    } catch (const MajError&) {
        outcome.told = true;
    }
    if (ios)
        *ios = vfs.count();
    vfs.arm(0);
    outcome.told = outcome.told || !t.ui.messages.isEmpty();
    const QString folder = t.drive.host(QStringLiteral("praxidome"));
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.mdb")}, QDir::Files))
        outcome.integrity = outcome.integrity &&
                            scalar(folder + QLatin1Char('/') + name, QStringLiteral("PRAGMA integrity_check")) == "ok";
    outcome.files = snapshot(folder);
    return outcome;
}

} // namespace

TEST(Faults, NoWriteIsLostInSilence)
{
    FaultVfs vfs;
    for (const WritingStep& step : kSteps) {
        SCOPED_TRACE(step.name);
        NomenFixture pristine;
        createInstallation(pristine);
        const Snapshot before = snapshot(pristine.drive.host(QStringLiteral("praxidome")));
        int ios = 0;
        const Outcome after = runWithFault(vfs, step, 0, FaultVfs::Fault::DiskFull, &ios);
        ASSERT_FALSE(after.told);
        ASSERT_NE(after.files, before);
        ASSERT_GT(ios, 0);
        for (int k = 1; k <= ios; ++k) {
            const auto fault = k % 2 ? FaultVfs::Fault::DiskFull : FaultVfs::Fault::IoError;
            SCOPED_TRACE(k);
            const Outcome run = runWithFault(vfs, step, k, fault);
            EXPECT_TRUE(run.integrity);
            EXPECT_TRUE(run.told || run.files == after.files) << "a write was lost without a word";
            QStringList keys = before.keys() + after.files.keys() + run.files.keys();
            keys.removeDuplicates();
            for (const QString& key : keys) {
                const QString now = run.files.value(key, QStringLiteral("absent"));
                EXPECT_TRUE(now == before.value(key, QStringLiteral("absent")) ||
                            now == after.files.value(key, QStringLiteral("absent")))
                    << key.toStdString() << " = " << now.toStdString();
            }
        }
    }
}
