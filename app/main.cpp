// talvor: the inventory and warehouse program. The main stack only runs
// Qt's event loop; the start and stop sequence, and with it the frame, runs
// on logical thread 1.
#include <QApplication>

#include "app/frame/main_frame.h"
#include "app/program_main.h"
#include "app/qt_spanish.h"
#include "app/registered_modules.h"
#include "platform/errors/error_reporter.h"
#include "platform/ui/dialogs.h"
#include "platform/threads/logical_thread.h"

namespace {
constexpr std::size_t kThreadOneStack = 1024 * 1024;
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The program ends when thread 1 has finished its stop sequence, not
    // when the frame's window disappears.
    QApplication::setQuitOnLastWindowClosed(false);

    tv::app::InstallQtSpanishTexts();

    // The procedures the frame starts by name.
    tv::app::RegisterModuleProcedures();

    // Messages of the start (a database that must not be opened, tables
    // that cannot be made) are shown in boxes, as the frame's are.
    static tv::ui::QtMessagePresenter presenter;
    tv::ErrorReporter::instance().setPresenter(&presenter);

    int exitCode = 0;
    tv::threads::start(
        [&exitCode] {
            exitCode = tv::app::programMain(tv::app::defaultProgramSteps(tv::app::Main));
            QCoreApplication::exit(0);
        },
        kThreadOneStack);
    app.exec();
    return exitCode;
}
