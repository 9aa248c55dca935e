#include "db/DbSteps.h"

#include "platform/MajError.h"
#include "run/PendingRecord.h"
#include "run/Step.h"

namespace maj {

namespace {

// ADRESSE of `table` widened to forty characters; a failure tells "La taille du champ <field> n'a pu
// être changée !".
void widenAddress(Form1Core& f, const char* step, const QString& database, const char* table,
                  const char* field = "adresse")
{
    runStep(
        f, step,
        [&] {
            // Closed whichever way the step leaves: by close() when the change is done, rolled back otherwise.
            const auto db = f.engine.openDirect(database);
            db->execute(QStringLiteral("ALTER TABLE %1 ALTER COLUMN ADRESSE CHAR(40);").arg(QLatin1String(table)));
            db->close();
        },
        [&](const MajError&) {
            f.ui.message(QStringLiteral("La taille du champ %1 n'a pu être changée !").arg(QLatin1String(field)));
        });
}

} // namespace

void Changertaillebase(Form1Core& f)
{
    widenAddress(f, "Changertaillebase", Installation::remindersDatabase(), "Attestationsdifferees");
}

void Changertailleadresse(Form1Core& f)
{
    widenAddress(f, "Changertailleadresse", Installation::patientDatabase(), "PATIENTS");
}

void Changertailleadresserappels(Form1Core& f)
{
    widenAddress(f, "Changertailleadresserappels", Installation::remindersDatabase(), "rappelsvisite",
                 "adresse/rappels");
}

void creertpauto(Form1Core& f)
{
    runStep(
        f, "creertpauto",
        [&] {
            const auto db = f.engine.openDirect(Installation::patientDatabase());
            db->appendField(QStringLiteral("patients"), QStringLiteral("TPAUTORISE"), DirectDatabase::FieldType::YesNo,
                            51);
            db->close();
        },
        [&](const MajError&) { f.ui.message(QStringLiteral("La modification 'TP autorisé' n'a pu être effectuée")); });
}

void effaceclesis(Form1Core& f)
{
    // Silent by design, and Data3 then keeps its binding; a failed commit is told by the caller.
    runStep(
        f, "effaceclesis",
        [&] {
            Recordset& patients = f.data.Data3.recordset();
            patients.moveFirst();
            while (!patients.isEof()) {
                PendingRecord record(patients, false);
                patients.setField(42, QStringLiteral(" "));
                record.update();
                patients.moveNext();
            }
            f.data.Data3.release();
        },
        silently, LostWrites::ToCaller);
}

} // namespace maj
