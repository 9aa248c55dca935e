#include "platform/Ui.h"

#include "platform/Logging.h"
#include "platform/MajError.h"

namespace maj {

void UiServices::message(const QString& text, const QString& title)
{
    qCDebug(lcUi).noquote() << "message:" << text;
    showMessage(text, title);
}

void UiServices::endProgram(ExitStatus status)
{
    m_exitStatus = status;
    qCDebug(lcUi) << "fin du programme" << int(status);
    throw ProgramEnded{};
}

void runHandler(UiServices& ui, const std::function<void()>& handler)
{
    try {
        try {
            handler();
        } catch (const MajError& e) {
            ui.message(e.numberAndDescription());
            ui.endProgram(ExitStatus::Failure);
        } catch (const std::exception& e) {
            ui.message(QString::fromLocal8Bit(e.what()));
            ui.endProgram(ExitStatus::Failure);
        }
    } catch (const ProgramEnded&) {
        ui.programEnded();
    }
}

} // namespace maj
