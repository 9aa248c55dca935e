// The tariff code steps on real files: a drive c: with the installation's databases, the main window
// core, and rows written and read through the engine.

#include "FaultVfs.h"
#include "SqliteFile.h"
#include "TestSupport.h"
#include "db/DbSteps.h"
#include "nomenclature/Nomenclature.h"
#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "platform/jet/Database.h"

#include <QDir>
#include <QMap>

#include <gtest/gtest.h>

using namespace maj;
using namespace maj::test;

namespace {

using Row = QList<Value>; // positions 0 to 20 of the nomenclature record

const QString patPath = "c:\\praxidome\\pat.mdb";
const QString eattestPath = "c:\\praxidome\\eattest.mdb";
const QString trajPath = "c:\\praxidome\\traj.mdb";
const QString nomenclature = "nomenclature";
const QString nomen = "nomen";

// A row with only the abbreviation, the code, the text of column 2 and the fee set.
Row codeRow(const Value& abbreviation, const Value& code, const Value& text = "texte", const Value& fee = {})
{
    return Row{abbreviation, code, text, fee} + Row(17);
}

// A full row whose every position holds a value of its column's type; `variant` makes the values
// of two rows differ at every position but the code.
Row fullRow(const QString& code, int variant)
{
    Row row(21);
    const QString tag = variant == 0 ? "src" : "own";
    for (int p : {2, 6, 7, 14, 15, 16})
        row[p] = QStringLiteral("%1-%2").arg(tag).arg(p);
    row[0] = QStringLiteral("%1-%2").arg(tag, code);
    row[1] = code;
    for (int p : {3, 4, 5, 9, 10, 11})
        row[p] = double(p) + (variant == 0 ? 0.25 : 100.5);
    for (int p : {8, 12, 13, 18})
        row[p] = qlonglong(p + (variant == 0 ? 1 : 500));
    row[17] = variant == 0;
    row[19] = QDateTime(QDate(variant == 0 ? 2018 : 2019, 3, 3), QTime(0, 0));
    row[20] = QDateTime(QDate(variant == 0 ? 2030 : 2029, 6, 30), QTime(0, 0));
    return row;
}

void addRows(const QString& windowsPath, const QString& table, const QList<Row>& rows)
{
    Engine engine;
    DataSource source(engine, "TestWriter");
    source.bind(windowsPath, table);
    for (const Row& row : rows) {
        source.recordset().addNew();
        for (int p = 0; p < row.size(); ++p)
            if (!row[p].isNull())
                source.recordset().setField(p, row[p]);
        source.recordset().update();
    }
    source.release();
}

// Positions 0 to 20 of every row, in the table's order.
QList<Row> rowsOf(const QString& windowsPath, const QString& table = nomenclature)
{
    Engine engine;
    DataSource source(engine, "TestReader");
    source.bind(windowsPath, table);
    QList<Row> result;
    for (Recordset& rs = source.recordset(); !rs.isEof(); rs.moveNext()) {
        result.append(Row());
        for (int p = 0; p < 21; ++p)
            result.last().append(rs.field(p));
    }
    source.release();
    return result;
}

QStringList codesOf(const QString& windowsPath)
{
    QStringList result;
    for (const Row& row : rowsOf(windowsPath))
        result.append(row[1].toString());
    return result;
}

struct NomenFixture : StepFixture
{
    // The patient, release and reduced-rate databases.
    NomenFixture()
    {
        f.settings.LanguageCode = "NL";
        f.settings.ReleaseDate = "01/01/2021";
        for (const char* name : {"pat", "eattest", "traj"})
            createDatabase(drive.host(QStringLiteral("praxidome/%1.mdb").arg(name)), name);
    }
    static void uniqueIndex(const QString& column, const QString& path = patPath)
    {
        exec(fs::hostPath(path), QStringLiteral("CREATE UNIQUE INDEX test_unique ON nomenclature(\"%1\")").arg(column));
    }
    // What assignationdesbases leaves for nouv and anciens.
    void bindForImport()
    {
        f.data.Data1.bind(patPath, nomenclature);
        f.data.Data2.bind(eattestPath, nomen);
    }
};

// ---------------------------------------------------------------------------------------------
// Duplicate abbreviations

QString duplicateLine(const QString& abbreviation, const QString& code, const QString& text)
{
    return "L'abréviation  " + abbreviation + " de " + code + " " + text +
           " est à modifier : voir doublon(s) dans la liste";
}

const QString checking = "Vérification de la validité de votre base de données de nomenclature !";

TEST(DuplicateCheck, ReportsEveryRowOfASharedAbbreviation)
{
    const QString s = " ";
    // The rows, and the lines below the design line (empty: no duplicate).
    const std::tuple<const char*, QList<Row>, QStringList> cases[] = {
        {"letter case and apostrophes",
         {codeRow("d'E", "A", "TA"), codeRow("l'X", "C", "TC"), codeRow("D'e", "B", "TB")},
         {s, duplicateLine("d'E", "A", "TA"), s, duplicateLine("D'e", "B", "TB")}},
        {"one row without abbreviation", {codeRow(Value(), "A", "TA"), codeRow("", "B", "TB")}, {}},
        {"rows without abbreviation",
         {codeRow(Value(), "A", "TA"), codeRow("Y", "C", Value()), codeRow(Value(), "B", "TB")},
         {s, duplicateLine({}, "A", "TA"), s, duplicateLine({}, "B", "TB")}},
        {"null text columns",
         {codeRow("Z", Value(), Value()), codeRow("Z", "B", Value())},
         {s, duplicateLine("Z", {}, {}), s, duplicateLine("Z", "B", {})}},
        {"empty table", {}, {}},
    };
    for (const auto& [name, rows, reported] : cases) {
        SCOPED_TRACE(name);
        NomenFixture t;
        addRows(patPath, nomenclature, rows);
        const QList<Row> before = rowsOf(patPath);
        t.f.window.l.append("earlier"); // never cleared
        int notified = 0;
        QObject::connect(&t.f.window, &WindowModel::changed, [&] { ++notified; });
        runHandler(t.ui, [&] { btnbd_Click(t.f); });

        const bool found = !reported.isEmpty();
        EXPECT_EQ(t.f.window.l,
                  QStringList({"Merci de bien prendre note des corrections à effectuer", "earlier"}) + reported);
        EXPECT_EQ(notified, found ? 1 : 0);
        // Data1 and Data2 stay bound to the patient database.
        EXPECT_EQ(t.f.data.Data1.recordSource(), nomenclature);
        EXPECT_EQ(t.f.data.Data2.databaseName(), patPath);
        EXPECT_EQ(t.ui.messages, found ? QStringList{checking} : QStringList({checking, "Vérification terminée !"}));
        EXPECT_EQ(t.ui.ended, !found);
        EXPECT_EQ(std::pair(t.f.window.progressValue, t.f.window.progressMaximum),
                  std::pair(int(rows.size()), int(rows.size())));
        EXPECT_EQ(rowsOf(patPath), before);
    }
    NomenFixture t; // without pat.mdb: the failure goes to the caller
    QFile::remove(fs::hostPath(patPath));
    EXPECT_EQ(errorOf([&] { btnbd_Click(t.f); }), err::DatabaseNotFound);
    EXPECT_EQ(t.ui.messages, QStringList{checking});
    EXPECT_FALSE(t.ui.ended);
}

// ---------------------------------------------------------------------------------------------
// Import of the release's codes

// nouv adds a release code once, quotes and all, after the user's rows; anciens then refreshes only
// the first of the user's rows of a code. A row the table refuses stops either step, and it does
// not come back with a later write through Data1. nouv's failure names the release row, without
// Data1 too.
TEST(Import, NouvAddsTheMissingCodesAnciensRefreshesTheOthers)
{
    const QString anciensFailed = "Erreur dans les modifications de la nomenclature ! ";
    const struct
    {
        const char* what;
        QList<Row> user, release;
        QStringList codes; // each row of the user's table after: abbreviation, code, the stamp's year if any
        QStringList messages = {};
        bool withData1 = true;
        const char* uniqueColumn = "ABREVIATION";
    } cases[] = {
        {"one code twice", {}, {codeRow("FIRST", "302000"), codeRow("SECOND", "302000")}, {"FIRST 302000 2021"}},
        {"quotes", {codeRow("Q1", "30'1")}, {codeRow("R1", "30'1"), codeRow("R2", "'")}, {"Q1 30'1 2021", "R2 ' 2021"}},
        {"an abbreviation taken",
         {codeRow("TAKEN", "301000")},
         {codeRow("OK1", "302000"), codeRow("TAKEN", "302001"), codeRow("OK2", "302002")},
         {"TAKEN 301000", "OK1 302000 2021"},
         {"TAKEN ( 302001 ) n'a pas été ajouté pour cause de doublon"}},
        {"a code twice in the user's table",
         {codeRow("U1", "301000"), codeRow("U2", "301000"), codeRow("U3", "399999")},
         {codeRow("R", "301000"), codeRow("X", "302000")},
         {"U1 301000 2021", "U2 301000", "U3 399999", "X 302000 2021"}},
        {"no Data1",
         {},
         {codeRow(Value(), "302000"), codeRow("B", "302001")},
         {},
         {" ( 302000 ) n'a pas été ajouté pour cause de doublon",
          anciensFailed + standardDescription(err::ObjectNotSet)},
         false},
        {"a refresh refused",
         {codeRow("A", "301000"), codeRow("B", "301001"), codeRow("C", "301002")},
         {codeRow("A", "301000", "texte", 5.0), codeRow("B", "301001", "texte", 5.0),
          codeRow("C", "301002", "texte", 7.0)},
         {"A 301000 2021", "B 301001", "C 301002"},
         {anciensFailed + standardDescription(err::DuplicateKey)},
         true,
         "HONORAIRE"},
    };
    for (const auto& [what, user, release, expectedCodes, messages, withData1, uniqueColumn] : cases) {
        SCOPED_TRACE(what);
        NomenFixture t;
        t.uniqueIndex(uniqueColumn);
        addRows(patPath, nomenclature, user);
        addRows(eattestPath, nomen, release);
        t.f.data.Data2.bind(eattestPath, nomen);
        if (withData1)
            t.f.data.Data1.bind(patPath, nomenclature);
        nouv(t.f);
        anciens(t.f);
        t.f.data.Data1.release();
        QStringList codes;
        for (const Row& row : rowsOf(patPath))
            codes.append(
                (row[0].toString() + ' ' + row[1].toString() + ' ' + row[19].toDate().toString("yyyy")).trimmed());
        EXPECT_EQ(codes, expectedCodes);
        EXPECT_EQ(t.ui.messages, messages);
        if (messages.isEmpty()) {
            EXPECT_EQ(std::pair(t.f.window.progressValue, t.f.window.progressMaximum),
                      std::pair(int(release.size()), int(release.size())));
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The positions each step writes, one letter per position: C copied from the source, K kept,
// S stamped with the release date, D left at the table's default. A release row and the user's
// own row of one code differ at every other position.

TEST(NomenclaturePositions, EachStepWritesThePositionsOfTheColumnTable)
{
    // The step, the language code, and 21 letters, position 0 first.
    const std::tuple<const char*, const char*, const char*> columnTable[] = {
        //                        0         1         2
        //                        012345678901234567890
        {"nouv", "NL", /*      */ "CCCCCCCCCCCCCCCCDDDSC"}, {"anciens", "NL", /*   */ "KKKCCCCKKCCCCCCCKKKSC"},
        {"anciens", "FR", /*   */ "KKCCCCCKKCCCCCCCKKKSC"}, {"anciens", "fr", /*   */ "KKKCCCCKKCCCCCCCKKKSC"},
        {"synchro update", "NL", "CKCKKKCCCKKKCKCCKKKSC"},  {"synchro insert", "NL", "CCCCCCCCCCCCCCCCDDDSC"},
    };
    for (const auto& [stepName, languageCode, perPosition] : columnTable) {
        SCOPED_TRACE(std::string(stepName) + " " + languageCode);
        NomenFixture t;
        t.f.settings.LanguageCode = languageCode;
        const QString step = stepName;
        const Row source = fullRow("301011", 0);
        const Row own = fullRow("301011", 1);
        const bool adds = step == "nouv" || step == "synchro insert";
        const bool import = step == "nouv" || step == "anciens";
        const QString target = import ? patPath : trajPath;
        addRows(import ? eattestPath : patPath, import ? nomen : nomenclature, {source});
        if (!adds)
            addRows(target, nomenclature, {own});
        if (import) {
            t.bindForImport();
            adds ? nouv(t.f) : anciens(t.f);
        } else {
            synchrotrajet(t.f);
        }
        EXPECT_TRUE(t.ui.messages.isEmpty()) << t.ui.messages.join('|').toStdString();
        const QList<Row> rows = rowsOf(target);
        ASSERT_EQ(rows.size(), 1);
        for (int p = 0; p < 21; ++p) {
            SCOPED_TRACE("position " + std::to_string(p));
            const Value& got = rows[0][p];
            if (perPosition[p] == 'C')
                EXPECT_EQ(got, source[p]);
            else if (perPosition[p] == 'K')
                EXPECT_EQ(got, own[p]);
            else if (perPosition[p] == 'S')
                EXPECT_EQ(got.toDateTime(), QDateTime(QDate(2021, 1, 1), QTime(0, 0)));
            else // NOTE_PERSO has no default; FAVORI and ORDRE_AFFICHAGE default to 0.
                EXPECT_EQ(got.isNull() ? "null" : got.toString(), p == 16 ? "null" : (p == 17 ? "false" : "0"));
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Withdrawn codes, e-tar rejection texts, reduced-rate codes

TEST(Detruitcodesinami, DeletesTheFirstRowOfEachListedCode)
{
    const std::tuple<const char*, QStringList, QStringList> cases[] = {
        {"none listed", {"308336.", "3083351", "305653.", ""}, {"308336.", "3083351", "305653.", ""}},
        {"all variants",
         {"308335.", "x1", "308335,", "308335;", "308335:", "308335", "307274.", "305653,", "305616,", "305616.", "x2"},
         {"x1", "305616.", "x2"}},
        {"a second 307274.", {"307274.", "307274.", "307274"}, {"307274.", "307274"}},
    };
    for (const auto& [name, before, after] : cases) {
        SCOPED_TRACE(name);
        NomenFixture t;
        QList<Row> rows;
        for (const QString& code : before)
            rows.append(codeRow(code, code));
        addRows(patPath, nomenclature, rows);
        t.f.data.Data1.bind(patPath, nomenclature);
        detruitcodesinami(t.f);
        t.f.data.Data1.release();
        EXPECT_TRUE(t.ui.messages.isEmpty());
        EXPECT_EQ(codesOf(patPath), after);
    }
    NomenFixture t; // Data1 holds nothing: a silent failure
    detruitcodesinami(t.f);
    EXPECT_TRUE(t.ui.messages.isEmpty());
    EXPECT_FALSE(t.ui.ended);
}

// Each rejection code and its text, in the table's order.
QString rejets(const NomenFixture& t)
{
    return scalar(t.drive.host("praxidome/etarification.mdb"),
                  "SELECT group_concat(CODE || ': ' || DESIGNATION, ' | ') FROM REJETS")
        .toString();
}

// Without the database, or with a key refusing the 172 (which stops before the 175), the message;
// the database is released on success only.
TEST(Rejetsetar, AddsBothTextsOrShowsTheMessage)
{
    const QString failed = "La mise à jour des dénominations des erreurs de rejets e-tar a échoué. (Peu important)";
    NomenFixture t;
    rejetsetar(t.f);
    EXPECT_EQ(t.ui.messages, QStringList{failed});
    createDatabase(t.drive.host("praxidome/etarification.mdb"), "etarification");
    exec(t.drive.host("praxidome/etarification.mdb"),
         "INSERT INTO REJETS (CODE, DESIGNATION) VALUES ('172', 'ancien')");
    rejetsetar(t.f);
    EXPECT_EQ(t.ui.messages, QStringList({failed, failed}));
    EXPECT_EQ(t.f.data.Data13.databaseName(), "c:\\praxidome\\etarification.mdb");
    t.f.data.Data13.release();
    EXPECT_EQ(rejets(t), "172: ancien");

    exec(t.drive.host("praxidome/etarification.mdb"), "DELETE FROM REJETS");
    rejetsetar(t.f);
    EXPECT_EQ(t.ui.messages.size(), 2);
    EXPECT_TRUE(!t.f.data.Data13.isOpen() && t.f.data.Data13.databaseName().isEmpty());
    EXPECT_EQ(rejets(t), "172: Code nomenclature non permis dans efac | 175: Code nomenclature non permis dans la "
                         "consultation tarif mais permis dans efac");
}

const QString synchroFailed = "La synchronisation de la nomenclature minorée a échoué";

// Each user code updated or added; without the reduced-rate database, the engine's description of
// the missing file, then the step's message; a row refused keeps the rows saved before.
TEST(Synchrotrajet, UpdatesOrAddsEachUserCodeAFailureShowsBothMessages)
{
    {
        NomenFixture t;
        const Row reducedOnly = fullRow("309999", 1);
        addRows(patPath, nomenclature, {fullRow("301000", 0), fullRow("301001", 0)});
        addRows(trajPath, nomenclature, {reducedOnly, fullRow("301000", 1)});
        synchrotrajet(t.f);

        const QList<Row> rows = rowsOf(trajPath);
        ASSERT_EQ(rows.size(), 3);
        EXPECT_EQ(rows[0], reducedOnly);        // not visited
        EXPECT_EQ(rows[2][1], Value("301001")); // added at the end
        EXPECT_EQ(t.f.window.progressValue, 2);
        EXPECT_EQ(t.f.data.Data1.databaseName(), trajPath);
        EXPECT_EQ(t.f.data.Data2.databaseName(), patPath);
    }

    NomenFixture t;
    QFile::remove(fs::hostPath(trajPath));
    addRows(patPath, nomenclature, {codeRow("A", "301000"), codeRow("A", "301001"), codeRow("C", "301002")});
    synchrotrajet(t.f);
    ASSERT_EQ(t.ui.messages.size(), 2);
    EXPECT_TRUE(t.ui.messages[0].contains("traj.mdb")) << t.ui.messages[0].toStdString();
    EXPECT_EQ(t.ui.messages[1], synchroFailed);
    EXPECT_FALSE(t.f.data.Data2.isOpen()); // pat.mdb was never bound

    t.ui.messages.clear();
    createDatabase(fs::hostPath(trajPath), "traj");
    t.uniqueIndex("ABREVIATION", trajPath);
    synchrotrajet(t.f);
    t.f.data.Data1.release();
    EXPECT_EQ(t.ui.messages, QStringList({standardDescription(err::DuplicateKey), synchroFailed}));
    EXPECT_EQ(codesOf(trajPath), QStringList{"301000"});
}

// ---------------------------------------------------------------------------------------------
// Every step that writes, with the k-th write, sync or truncate of its files failing, then the k-th
// read, open, lock or size query, for each k up to the number of such calls the step makes: only
// numbered failures come out, the files stay sound, each row and definition is the one before or
// the one after the step, and a run that shows no failure has lost nothing.

using Snapshot = QMap<QString, QString>; // "file table:rowid" or "file schema:name" -> its content

Snapshot snapshot(const QString& folder)
{
    Snapshot result;
    for (const QString& name : QDir(folder).entryList({"*.mdb"}, QDir::Files)) {
        const QString file = folder + '/' + name;
        result.insert(name + " integrity", scalar(file, "PRAGMA integrity_check").toString());
        sample::sql::Database db(file, sample::sql::ReadOnly);
        // A table's columns as SQL literals, which tell a number from its text (none for an index).
        auto schema = db.prepare("SELECT name, sql, (SELECT group_concat('quote(\"' || name || '\")', '||''|''||') "
                                 "FROM pragma_table_info(m.name)) FROM sqlite_master m");
        while (schema.step()) {
            const QString object = schema.column(0).toString();
            result.insert(name + " schema:" + object, schema.column(1).toString());
            if (schema.column(2).isNull())
                continue;
            auto rows =
                db.prepare(QStringLiteral("SELECT rowid, %1 FROM \"%2\"").arg(schema.column(2).toString(), object));
            while (rows.step())
                result.insert(name + ' ' + object + ':' + rows.column(0).toString(), rows.column(1).toString());
        }
    }
    return result;
}

void createInstallation(NomenFixture& t)
{
    for (const char* name : {"pannexe", "parametres", "rappels", "etarification"})
        createDatabase(t.drive.host(QStringLiteral("praxidome/%1.mdb").arg(name)), name);
    addRows(patPath, nomenclature,
            {fullRow("308335.", 1), fullRow("111", 1), fullRow("222", 1), fullRow("307274.", 1)});
    addRows(eattestPath, nomen, {fullRow("111", 0), fullRow("333", 0), fullRow("444", 0)});
    addRows(trajPath, nomenclature, {fullRow("222", 0)});
    exec(t.drive.host("praxidome/pat.mdb"), "INSERT INTO patients (NUMPAT, NOM, ADRESSE, CLESIS) VALUES "
                                            "(1, 'A', 'rue 1', 'k1'), (2, 'B', 'rue 2', NULL), (3, 'C', NULL, 'k3')");
    exec(t.drive.host("praxidome/parametres.mdb"), "INSERT INTO parapat (ID, NUMERO_MAJ) VALUES (1, '37')");
    exec(t.drive.host("praxidome/rappels.mdb"),
         "INSERT INTO Attestationsdifferees (NUMATTEST, ADRESSE) VALUES (1, 'rue 1');"
         "INSERT INTO rappelsvisite (NUMRAPPEL, ADRESSE) VALUES (1, 'rue 2')");
    t.f.window.lbldate = "01/01/2021";
    t.f.window.lblnumerodemaj = "38";
}

const struct WritingStep
{
    const char* name;
    void (*run)(Form1Core&);
    void (*bind)(NomenFixture&); // the bindings the step finds
} kSteps[] = {
    {"nouv", nouv, [](NomenFixture& t) { t.bindForImport(); }},
    {"anciens", anciens, [](NomenFixture& t) { t.bindForImport(); }},
    {"synchrotrajet", synchrotrajet, [](NomenFixture&) {}},
    {"inscritdate", inscritdate, [](NomenFixture&) {}},
    {"rejetsetar", rejetsetar, [](NomenFixture&) {}},
    {"detruitcodesinami", detruitcodesinami, [](NomenFixture& t) { t.f.data.Data1.bind(patPath, nomenclature); }},
    {"effaceclesis", effaceclesis, [](NomenFixture& t) { t.f.data.Data3.bind(patPath, "patients"); }},
    // The three widening steps share their code: one of them stands for all.
    {"Changertailleadresse", Changertailleadresse, [](NomenFixture&) {}},
    {"creertpauto", creertpauto, [](NomenFixture&) {}},
};

// The kinds of calls that fail in turn; writes fail with a full disk and an I/O error by turns.
const FaultVfs::Fault kFaults[] = {FaultVfs::Fault::DiskFull, FaultVfs::Fault::Read, FaultVfs::Fault::Open,
                                   FaultVfs::Fault::Lock, FaultVfs::Fault::Size};

// Runs the step on a fresh installation with the k-th call of the fault's kind failing (0: none);
// *ios gets the count. told: a message, or a failure passed on to the sequence's handler, which
// shows it.
Snapshot runWithFault(FaultVfs& vfs, const WritingStep& step, FaultVfs::Fault fault, int k, bool& told,
                      int* ios = nullptr)
{
    NomenFixture t;
    createInstallation(t);
    step.bind(t);
    vfs.arm(k, fault == FaultVfs::Fault::DiskFull && k % 2 == 0 ? FaultVfs::Fault::IoError : fault);
    told = errorOf([&] { step.run(t.f); }) != 0;
    if (ios)
        *ios = vfs.count();
    vfs.arm(0);
    told = told || !t.ui.messages.isEmpty();
    return snapshot(t.drive.host("praxidome"));
}

TEST(Faults, NoWriteIsLostInSilence)
{
    FaultVfs vfs;
    int calls[std::size(kFaults)] = {}; // of each kind, over every step
    for (const WritingStep& step : kSteps) {
        SCOPED_TRACE(step.name);
        NomenFixture pristine;
        createInstallation(pristine);
        const Snapshot before = snapshot(pristine.drive.host("praxidome"));
        bool told = false;
        const Snapshot after = runWithFault(vfs, step, FaultVfs::Fault::DiskFull, 0, told);
        ASSERT_FALSE(told);
        ASSERT_NE(after, before);
        for (size_t f = 0; f < std::size(kFaults); ++f) {
            const FaultVfs::Fault fault = kFaults[f];
            int ios = 0;
            runWithFault(vfs, step, fault, 0, told, &ios);
            calls[f] += ios;
            for (int k = 1; k <= ios; ++k) {
                SCOPED_TRACE(QStringLiteral("fault %1, call %2").arg(int(fault)).arg(k).toStdString());
                const Snapshot run = runWithFault(vfs, step, fault, k, told);
                EXPECT_TRUE(told || run == after) << "a write was lost without a word";
                QStringList keys = before.keys() + after.keys() + run.keys();
                keys.removeDuplicates();
                for (const QString& key : keys) {
                    const QString now = run.value(key, "absent");
                    EXPECT_TRUE(now == before.value(key, "absent") || now == after.value(key, "absent"))
                        << key.toStdString() << " = " << now.toStdString();
                }
            }
        }
    }
    for (const int n : calls)
        EXPECT_GT(n, 0);
}

} // namespace
