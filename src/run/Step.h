#pragma once

#include "platform/MajError.h"

#include <QString>

#include <functional>

namespace maj {

struct Form1Core;

// How a step answers a failure: its own message, or nothing. What it throws goes on to the caller.
using FailureRule = std::function<void(const MajError&)>;

// The rules most steps share.
void silently(const MajError& error);            // nothing shown; the failure is only logged
[[noreturn]] void passOn(const MajError& error); // the caller's handling takes it

// Where failures that lose written data go (a failed commit, a full disk, a disk or network
// error): to the step's own rule, or to the caller when the step's rule is silence or its message
// cannot tell that data were lost.
enum class LostWrites
{
    ToStep,
    ToCaller
};

// A step as the log names it: its routine and, when it acts on one file or folder, that one.
struct StepName
{
    StepName(const char* name, QString path = {}) : routine(name), file(std::move(path)) {}
    const char* routine;
    QString file;
};

// What a step does and the files it touches, in French, for the log: "sauvegarde de
// c:\praxidome\pat.mdb (verstempo)". A routine without a text of its own is named as it is.
QString stepText(const StepName& step);
// A failure as the log tells it: "erreur 75, Erreur d'accès au chemin ou au fichier".
QString failureText(const MajError& error);

// The step boundary: logs the step's start and end, runs its body, then commits what it wrote, also
// after a failure (what was saved before it stays saved). A failure of the body or of the commit goes
// to `onFailure`; writes that are not committed are rolled back.
void runStep(Form1Core& f, const StepName& name, const std::function<void()>& body, const FailureRule& onFailure,
             LostWrites lost = LostWrites::ToStep);

} // namespace maj
