#pragma once

#include "TestSupport.h"
#include "app/Form1.h"

#include <QDir>
#include <QPushButton>
#include <QtCore/qtestsupport_core.h>

#include <memory>

// What the window tests share: an installation under the main window; QTest::qWait and qWaitFor
// (Qt Core) let the event loop run.
namespace maj::test {

// A practice's installation on a drive c: of its own, and the main window over it.
struct OpenedWindow
{
    TempDrive drive;
    RecordingUi ui;
    FixedClock clock;
    std::unique_ptr<Form1> form;

    explicit OpenedWindow(bool client = false) { installPractice(drive, client); }
    // Shows the window as the program does (on `screen`, if any); false when the opening work ended the program.
    bool open(QScreen* screen = nullptr)
    {
        form = std::make_unique<Form1>(ui, clock);
        if (screen)
            form->setScreen(screen);
        return form->showAndActivate();
    }
    template <class T = QWidget> T* control(const char* name) const { return form->findChild<T*>(QLatin1String(name)); }
    void click(const char* button) const { control<QPushButton>(button)->click(); }
};

} // namespace maj::test
