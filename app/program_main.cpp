#include "app/program_main.h"

#include "data/leftovers.h"
#include "data/thread_table_set.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include <QDir>

#include "app/database_place.h"
#include "app/globals.h"
#include "app/help/manual_file.h"
#include "app/store_choice.h"
#include "platform/desktop/drag_full_windows.h"
#include "platform/errors/error_reporter.h"
#include "platform/ini/ini_store.h"
#include "platform/instance/single_instance.h"
#include "platform/storage/server/store_setting.h"
#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"

namespace tv::app {

namespace {

// The lock is held for the whole run and dropped by the system when the
// process ends, whichever way it ends.
std::unique_ptr<SingleInstanceLock>& instanceLock() {
    static std::unique_ptr<SingleInstanceLock> lock;
    return lock;
}

void call(const std::function<void()>& f) {
    if (f) f();
}

}  // namespace

std::string singleInstanceName() {
    std::string name = "talvor.exe";
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

ProgramSteps defaultProgramSteps(std::function<void()> runFrame) {
    ProgramSteps s;
    s.setUpErrors = [] { ErrorReporter::instance().setUp(); };
    s.setUpIni = [] { IniStore::instance().setUp(); };
    s.chooseStore = [] {
        IniStore& ini = IniStore::instance();
        StoreChoice c = ChooseStore(ini.find(kServerSection, kServerKey), std::getenv(kServerVariable), ini.path());
        if (c.refusal) {
            ErrorReporter& er = ErrorReporter::instance();
            er.setFile(ini.path().filename().string());
            er.setErrorText(storage::kAccessDenied, *c.refusal);
            er.raise(26);
            return false;
        }
        // A server that cannot be reached is said at the first use of a
        // table (message 26, naming it); the file is never used instead.
        storage::setDatabaseServer(c.server);
        return true;
    };
    s.checkDatabasePlace = [] {
        const bool serverSet = !storage::databaseServer().empty();  // chosen by chooseStore
        // The whole path: the user must know which folder lies on the network.
        std::error_code ec;
        std::filesystem::path db = std::filesystem::absolute(storage::databasePath(), ec);
        if (ec) db = storage::databasePath();
        return app::checkDatabasePlace(db, serverSet, &storage::server::networkFileSystemOf);
    };
    s.initThreadTables = [] { data::initThreadTables(); };
    s.acquireSingleInstance = [](const std::string& name) {
        auto& lock = instanceLock();
        lock = std::make_unique<SingleInstanceLock>(name);
        switch (lock->acquire()) {
        case SingleInstanceLock::Result::Acquired:
            return true;
        case SingleInstanceLock::Result::HeldElsewhere:
            lock.reset();
            return false;
        case SingleInstanceLock::Result::Failed:
            break;
        }
        // Without a usable lock folder the user still gets the program;
        // only the guard against a second copy is missing.
        std::fprintf(stderr, "talvor: single-instance check skipped: %s\n", lock->error().c_str());
        lock.reset();
        return true;
    };
    // What forms of stations that ended without closing them left behind
    // is released once the tables exist (never another open form's).
    s.createTables = [] {
        if (data::CreateAllTables() == data::kDone) data::ReleaseLeftovers();
    };
    s.provideManual = [] {
        // A folder the user may not write to (a read-only station) just
        // goes without: the help menu says where the manual should be.
        ProvideManual(QDir::currentPath(), BuiltManualPath());
    };
    s.readDragFullWindows = [] { return systemDragFullWindows().read(); };
    s.writeDragFullWindows = [](int32_t on) { systemDragFullWindows().write(on); };
    s.runFrame = std::move(runFrame);
    s.iniEndOfRun = [] { IniStore::instance().endOfRun(); };
    s.releaseSingleInstance = [] {
        if (auto& lock = instanceLock()) lock->release();
    };
    s.shutDownIni = [] {
        if (!IniStore::instance().shutDown())
            std::fprintf(stderr, "talvor: %s\n", IniStore::instance().lastError().c_str());
    };
    return s;
}

int programMain(const ProgramSteps& steps) {
    Globals& g = globals();
    call(steps.setUpErrors);
    call(steps.setUpIni);
    if (steps.chooseStore && !steps.chooseStore()) return 1;
    if (steps.checkDatabasePlace && !steps.checkDatabasePlace()) return 1;
    call(steps.initThreadTables);

    const std::string name = singleInstanceName();
    if (steps.acquireSingleInstance && !steps.acquireSingleInstance(name)) {
        return 0;  // another copy runs: end silently, leaving it as it is
    }
    call(steps.createTables);
    call(steps.provideManual);

    g.SavedDragFullWindows = steps.readDragFullWindows ? steps.readDragFullWindows() : 0;
    if (g.SavedDragFullWindows == 1 && steps.writeDragFullWindows) steps.writeDragFullWindows(0);

    // An error that escapes the frame: its windows are gone with it. Say
    // why (outside the handler: the message waits, and the handlers of all
    // logical threads share one chain of caught exceptions), then stop as
    // usual, so no process without a window is left holding the lock.
    int code = 0;
    std::string error;
    try {
        call(steps.runFrame);
    } catch (const std::exception& e) {
        error = e.what();
        code = 1;
    }
    if (code != 0) ErrorReporter::instance().reportUnexpected(threads::current(), error);

    call(steps.iniEndOfRun);
    call(steps.releaseSingleInstance);
    if (g.SavedDragFullWindows == 1 && steps.writeDragFullWindows) steps.writeDragFullWindows(1);
    call(steps.shutDownIni);
    return code;
}

}  // namespace tv::app
