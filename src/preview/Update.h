#pragma once

#include "run/Form1Core.h"

#include <functional>
#include <vector>

// The update as data: its steps in order, and the one way to run them, for the window's run and
// for the preview's.
namespace maj {

class MajError;

using Routine = void (*)(Form1Core&);

// Where a step runs.
enum class Stations
{
    Server,
    Client,
    Both
};
// What a step does beside the installation's files: a policy may leave it out.
enum class Effect
{
    Installation,
    Upload,
    Backup, // writes the backup folders or their manifests
    Check,  // reads the whole release medium or the whole databases
};

// One step: what the window shows while it runs, its routine, the files of the backup set it
// changes (the run stops before it when one of them was not saved), where it runs.
struct UpdateStep
{
    QString text;
    Routine run;
    QStringList writes = {};
    Stations stations = Stations::Both;
    Effect effect = Effect::Installation;
    // A failure it passes on stops the run and offers the backup set back; or, once the run's end is
    // recorded (afterEnd), only ends the program.
    bool afterEnd = false;
    // What runs instead when the policy leaves the effect out (null: nothing), and its text.
    Routine standIn = nullptr;
    QString standInText = {};
};

const std::vector<UpdateStep>& updateSteps();

// How the steps are run: with or without the upload and the backups, and what a stop does.
struct RunPolicy
{
    bool upload = true;
    bool backups = true;
    bool checks = true;
    bool keeps(Effect effect) const
    {
        return (effect != Effect::Upload || upload) && (effect != Effect::Backup || backups) &&
               (effect != Effect::Check || checks);
    }
    // After a failure stopped the run (null: a file the run could not save); the program then ends
    // with the status it gives.
    std::function<ExitStatus(Form1Core&, const MajError*)> stop;
    // Around each step that runs.
    std::function<void(const UpdateStep&)> before = [](const UpdateStep&) {};
    std::function<void(const UpdateStep&)> after = [](const UpdateStep&) {};
};

// The update's steps of this station, in order; an item missing from a collection (3265) goes on
// with the next one, any other failure they pass on stops. A client's run ends the program; after a
// stop, so does every run.
void runUpdate(Form1Core& f, const RunPolicy& policy);
// The opening's checks and readings the policy keeps, in order, before the contract is offered. A
// step handles its own failures; one it passes on goes to the caller.
void openUpdate(Form1Core& f, const RunPolicy& policy);

} // namespace maj
