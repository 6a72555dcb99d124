#pragma once
// The program's start and stop sequence, run on logical thread 1: set up the
// process-wide services, make sure this user runs one copy only, switch the
// desktop's full-window dragging off for the run, run the frame until the
// user closes it, then undo what was set up.
//
// Every step is a replaceable function so that tests can follow the order;
// defaultProgramSteps() gives the real ones.
#include <cstdint>
#include <functional>
#include <string>

namespace tv::app {

struct ProgramSteps {
    std::function<void()> setUpErrors;
    std::function<void()> setUpIni;
    // Chooses where the tables are (talvor.db or the server the settings
    // name); false when the setting cannot be used (said; the program stops).
    std::function<bool()> chooseStore;
    // Before the database is opened: false when its place makes it unsafe
    // (a network file system without a server set), after saying so.
    std::function<bool()> checkDatabasePlace;
    // Creates thread 1's table objects (thread 1 does it here; every later
    // thread does it when it starts). The data layer installs it.
    std::function<void()> initThreadTables;
    // Takes the single-instance lock of that name; false when another copy
    // of this user holds it.
    std::function<bool(const std::string& name)> acquireSingleInstance;
    // Makes every table exist before the frame opens (this copy only: a
    // second copy touches nothing), then releases what stations that ended
    // without closing their forms left behind. The data layer installs it.
    std::function<void()> createTables;
    // Puts the manual the build made into the working folder when it has
    // none (this copy only, like the tables).
    std::function<void()> provideManual;
    std::function<int32_t()> readDragFullWindows;
    std::function<void(int32_t on)> writeDragFullWindows;
    // Runs the frame; returns when its window has closed.
    std::function<void()> runFrame;
    std::function<void()> iniEndOfRun;
    std::function<void()> releaseSingleInstance;
    std::function<void()> shutDownIni;
};

// The program's own steps around the given frame: the error reporter's and
// the INI store's process-wide objects, the lock "TALVOR.EXE" in the user's
// runtime folder, this desktop's drag setting, the data layer's table
// set of thread 1 and its tables in the working folder's database, and the
// user's manual beside them.
ProgramSteps defaultProgramSteps(std::function<void()> runFrame);

// The lock's name: the program's file name in upper case.
std::string singleInstanceName();

// Runs the sequence and returns the program's exit code: 0 on every
// ordinary end, the second copy's included; 1 when an unexpected error
// escaped the frame (shown, then the stop steps run), or when the
// database's place was refused (nothing opened). A fatal error ends the
// process from inside the frame, so nothing after the frame runs then.
int programMain(const ProgramSteps& steps);

}  // namespace tv::app
