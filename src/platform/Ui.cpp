#include "Ui.h"

#include "Logging.h"
#include "MajError.h"

namespace maj {

void UiServices::message(const QString& text, const QString& title)
{
    qCDebug(lcUi).noquote() << "message:" << text;
    showMessage(text, title);
}

void UiServices::endProgram()
{
    qCDebug(lcUi) << "fin du programme";
    throw ProgramEnded{};
}

void runHandler(UiServices& ui, const std::function<void()>& handler)
{
    try {
        try {
            handler();
        } catch (const MajError& e) {
            ui.message(e.numberAndDescription());
            ui.endProgram();
        } catch (const std::exception& e) {
            ui.message(QString::fromLocal8Bit(e.what()));
            ui.endProgram();
        }
    } catch (const ProgramEnded&) {
        ui.programEnded();
    }
}

} // namespace maj
