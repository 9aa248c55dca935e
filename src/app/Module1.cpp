#include "app/Module1.h"

#include "platform/widgets/QtUiServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>

#include <cstdio>

namespace maj {

StartedWindows startWindows(UiServices& ui, Clock& clock)
{
    StartedWindows windows;
    windows.splash = new frmsplash;
    windows.splash->show();
    // Lets the splash window paint before the opening work holds the thread.
    ui.processEvents();

    windows.form = std::make_unique<Form1>(ui, clock);
    windows.opened = windows.form->showAndActivate();
    if (windows.opened && windows.splash)
        windows.splash->CloseAfter(1);
    return windows;
}

bool saveScreenshots(const StartedWindows& windows, const QString& folder)
{
    if (!QDir().mkpath(folder))
        return false;
    bool saved = true;
    // Each picture is named after its window: frmsplash.png, Form1.png.
    for (QWidget* window : std::initializer_list<QWidget*>{windows.splash, windows.form.get()}) {
        if (window && !window->grab().save(QDir(folder).filePath(window->objectName() + QStringLiteral(".png"))))
            saved = false;
    }
    return saved;
}

void Main()
{
    static QtUiServices ui;
    static SystemClock clock;
    auto* windows = new StartedWindows(startWindows(ui, clock));
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [windows] {
        delete windows->splash.data();
        delete windows;
    });

    const QString screenshots = qEnvironmentVariable("MAJ_SCREENSHOT_DIR");
    if (!screenshots.isEmpty()) {
        ui.processEvents();
        const bool saved = saveScreenshots(*windows, screenshots);
        if (!saved)
            std::fprintf(stderr, "maj : les images des fenêtres n'ont pu être écrites dans %s.\n",
                         qPrintable(screenshots));
        runHandler(ui, [saved] { ui.endProgram(saved ? ExitStatus::Completed : ExitStatus::Failure); });
    }
}

} // namespace maj
