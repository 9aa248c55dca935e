#pragma once

#include "TestSupport.h"
#include "app/CommandLine.h"
#include "app/Form1.h"
#include "app/Opening.h"
#include "app/Sequence.h"
#include "db/DbSteps.h"

#include <QDir>
#include <QPushButton>
#include <QTextStream>
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

// The opening work on a fixture's core as the window runs it; false when it ended the program.
inline bool activate(StepFixture& s)
{
    bindAtLoad(s.f);
    s.runStep(Form_Activate);
    return !s.ui.ended;
}

// The release medium in c:\CD, the current folder while the result lives: an eattest.mdb with these
// codes (values of ABREVIATION, "code inami").
[[nodiscard]] inline CurrentFolder layMedium(const TempDrive& drive, const QString& codes = {})
{
    createDatabase(drive.host("CD/eattest.mdb"), "eattest");
    if (!codes.isEmpty())
        exec(drive.host("CD/eattest.mdb"), "INSERT INTO nomen (ABREVIATION, \"code inami\") VALUES " + codes);
    return CurrentFolder(drive.host("CD"));
}

// The command line's status; `output`: what it said, on both streams; `error`: on the standard error alone.
inline int command(const QStringList& arguments, QString* output = nullptr, QString* error = nullptr)
{
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const int status = runCommandLine(arguments, outStream, errStream);
    if (output)
        *output = out + err;
    if (error)
        *error = err;
    return status;
}

} // namespace maj::test
