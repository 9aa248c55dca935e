#include "platform/Ui.h"

#include "platform/Logging.h"
#include "platform/MajError.h"
#include "platform/RunLog.h"

namespace maj {

void UiServices::message(const QString& text, const QString& title)
{
    qCDebug(lcUi).noquote() << "message:" << text;
    log(QStringLiteral("message : ") + text);
    showMessage(text, title);
}

bool UiServices::ask(const QString& text, const QString& title)
{
    qCDebug(lcUi).noquote() << "question:" << text;
    log(QStringLiteral("question : ") + text);
    const bool yes = showQuestion(text, title);
    log(yes ? QStringLiteral("réponse : Oui") : QStringLiteral("réponse : Non"));
    return yes;
}

void UiServices::log(const QString& text)
{
    if (m_log)
        m_log->write(text);
}

void UiServices::endProgram(ExitStatus status)
{
    m_exitStatus = status;
    qCDebug(lcUi) << "fin du programme" << int(status);
    if (m_log)
        m_log->endRun(int(status));
    throw ProgramEnded{};
}

void runHandler(UiServices& ui, const std::function<void()>& handler)
{
    try {
        try {
            handler();
        } catch (const std::exception& e) {
            const auto* error = dynamic_cast<const MajError*>(&e);
            ui.message(error ? error->numberAndDescription() : QString::fromLocal8Bit(e.what()));
            ui.endProgram(ExitStatus::Failure);
        }
    } catch (const ProgramEnded&) {
        ui.programEnded();
    }
}

} // namespace maj
