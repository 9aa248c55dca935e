#include "run/Step.h"

#include "platform/Logging.h"
#include "platform/jet/Database.h"
#include "run/Form1Core.h"

#include <QElapsedTimer>

#include <optional>

namespace maj {

void silently(const MajError&) {}

void passOn(const MajError& error)
{
    throw error;
}

void runStep(Form1Core& f, const char* name, const std::function<void()>& body, const FailureRule& onFailure,
             LostWrites lost)
{
    qCDebug(lcStep) << "début" << name;
    f.log.write(QStringLiteral("début ") + QLatin1String(name));
    QElapsedTimer duration;
    duration.start();
    Transaction writes(f.engine);
    std::optional<MajError> failure;
    try {
        body();
    } catch (const MajError& e) {
        qCDebug(lcStep) << name << e.what();
        failure = e;
    }
    bool writesLost = false;
    try {
        writes.commit();
    } catch (const MajError& e) {
        qCWarning(lcStep) << name << "écritures perdues :" << e.what();
        failure = e;
        writesLost = true;
    }
    qCDebug(lcStep) << "fin" << name;
    f.log.write(QStringLiteral("fin ") + QLatin1String(name) + QStringLiteral(" (") +
                QString::number(duration.elapsed()) + QStringLiteral(" ms)") +
                (failure ? QStringLiteral(" : échec ") + failure->numberAndDescription() : QString()));
    if (!failure)
        return;
    const bool dataLost = writesLost || failure->number() == err::DiskFull || failure->number() == err::DiskOrNetwork;
    if (dataLost && lost == LostWrites::ToCaller)
        throw *failure;
    onFailure(*failure);
}

} // namespace maj
