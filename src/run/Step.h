#pragma once

#include "platform/MajError.h"

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

// The step boundary: logs the step's start and end, runs its body, then commits what it wrote, also
// after a failure (what was saved before it stays saved). A failure of the body or of the commit goes
// to `onFailure`; writes that are not committed are rolled back.
void runStep(Form1Core& f, const char* name, const std::function<void()>& body, const FailureRule& onFailure,
             LostWrites lost = LostWrites::ToStep);

} // namespace maj
