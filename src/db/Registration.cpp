#include "db/DbSteps.h"

#include "platform/FileSystem.h"
#include "platform/MajError.h"
#include "run/PendingRecord.h"
#include "run/Step.h"

#include <optional>

namespace maj {

void inscritdate(Form1Core& f)
{
    runStep(
        f, "inscritdate",
        [&] {
            DataSource& annex = f.data.Data4;
            annex.bind(Installation::annexDatabase(), QStringLiteral("ortho"));
            // The day the application was installed: the local date of its uninstall log's last change.
            const QString log = Installation::installerLog();
            const std::optional<QDate> installed =
                fs::fileExists(log) ? std::optional(fs::lastModified(log).toLocalTime().date()) : std::nullopt;

            Recordset& ortho = annex.recordset();
            ortho.findFirst(QStringLiteral("numpat = 'Insta'"));
            const bool created = ortho.noMatch();
            PendingRecord marker(ortho, created);
            // The installation date is recorded once, when the marker is created.
            if (created) {
                ortho.setField(0, QStringLiteral("Insta"));
                if (installed)
                    ortho.setField(1, installed->startOfDay());
            }
            ortho.setField(2, f.clock.today().startOfDay());
            ortho.setField(3, f.window.lbldate);
            ortho.setField(79, f.window.lblnumerodemaj);
            marker.update();

            // Binding the settings commits the marker first: a failure from here on leaves it written.
            annex.bind(Installation::settingsDatabase(), QStringLiteral("parapat"));
            Recordset& parapat = annex.recordset();
            PendingRecord settings(parapat, false);
            parapat.setField(61, f.window.lblnumerodemaj);
            settings.update();
        },
        [&](const MajError&) {
            f.ui.message(QStringLiteral("L'inscription de la date de mise à jour a échoué (non essentiel)"));
        });
}

} // namespace maj
