#include "DbSteps.h"

#include "Logging.h"
#include "MajError.h"
#include "PendingRecord.h"

namespace maj {

namespace {

// A database opened directly, closed when the step leaves it, whichever way it leaves.
class OpenDatabase
{
public:
    explicit OpenDatabase(const QString& windowsPath) : m_db(DirectDatabase::open(windowsPath)) {}
    ~OpenDatabase() { m_db->close(); }
    OpenDatabase(const OpenDatabase&) = delete;
    OpenDatabase& operator=(const OpenDatabase&) = delete;

    DirectDatabase* operator->() const { return m_db.get(); }

private:
    std::unique_ptr<DirectDatabase> m_db;
};

void widenAddress(Form1Core& f, const char* step, const QString& database, const QString& tablePart,
                  const QString& failureMessage)
{
    StepScope scope(step);
    try {
        OpenDatabase db(database);
        db->execute(tablePart + QStringLiteral("ALTER COLUMN ADRESSE CHAR(40);"));
    } catch (const MajError& e) {
        qCDebug(lcDb) << step << e.what();
        f.ui.message(failureMessage);
    }
}

const QString kPatientDatabase = QStringLiteral("c:\\praxidome\\pat.mdb");
const QString kRemindersDatabase = QStringLiteral("c:\\praxidome\\rappels.mdb");

} // namespace

void Changertaillebase(Form1Core& f)
{
    widenAddress(f, "Changertaillebase", kRemindersDatabase, QStringLiteral("ALTER TABLE Attestationsdifferees "),
                 QStringLiteral("La taille du champ adresse n'a pu être changée !"));
}

void Changertailleadresse(Form1Core& f)
{
    widenAddress(f, "Changertailleadresse", kPatientDatabase, QStringLiteral("ALTER TABLE PATIENTS "),
                 QStringLiteral("La taille du champ adresse n'a pu être changée !"));
}

void Changertailleadresserappels(Form1Core& f)
{
    widenAddress(f, "Changertailleadresserappels", kRemindersDatabase, QStringLiteral("ALTER TABLE rappelsvisite "),
                 QStringLiteral("La taille du champ adresse/rappels n'a pu être changée !"));
}

void creertpauto(Form1Core& f)
{
    StepScope scope("creertpauto");
    try {
        OpenDatabase db(kPatientDatabase);
        db->appendField(QStringLiteral("patients"), QStringLiteral("TPAUTORISE"), DirectDatabase::FieldType::YesNo, 51);
    } catch (const MajError& e) {
        qCDebug(lcDb) << "creertpauto:" << e.what();
        f.ui.message(QStringLiteral("La modification 'TP autorisé' n'a pu être effectuée"));
    }
}

void effaceclesis(Form1Core& f)
{
    StepScope scope("effaceclesis");
    try {
        Recordset& patients = f.data.Data3.recordset();
        patients.moveFirst();
        while (!patients.isEof()) {
            patients.edit();
            PendingRecord record(patients);
            patients.setField(42, QStringLiteral(" "));
            record.update();
            patients.moveNext();
        }
        f.data.Data3.release();
    } catch (const MajError& e) {
        // Silent by design; Data3 keeps its binding.
        qCDebug(lcDb) << "effaceclesis:" << e.what();
    }
}

} // namespace maj
