// talvor: the inventory and warehouse program. The main stack only runs
// Qt's event loop; the start and stop sequence, and with it the frame, runs
// on logical thread 1.
#include <QApplication>
#include <QCloseEvent>
#include <QMainWindow>

#include <functional>

#include "app/program_main.h"
#include "platform/threads/logical_thread.h"

namespace {

// Plain frame window shown until the real frame is built: caption only.
class StandInFrame : public QMainWindow {
public:
    std::function<void()> onClosed;

protected:
    void closeEvent(QCloseEvent* e) override {
        QMainWindow::closeEvent(e);
        if (e->isAccepted() && onClosed) onClosed();
    }
};

// Shows the frame and suspends thread 1 until the user closes it; the main
// loop keeps running meanwhile.
void runStandInFrame() {
    const tv::threads::ThreadNo self = tv::threads::current();
    bool closed = false;
    StandInFrame frame;
    frame.setWindowTitle(QStringLiteral("Tal-Vor"));
    frame.resize(1024, 700);
    frame.onClosed = [&closed, self] {
        closed = true;
        tv::threads::wake(self);
    };
    frame.show();
    while (!closed) tv::threads::suspend();
}

constexpr std::size_t kThreadOneStack = 1024 * 1024;

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The program ends when thread 1 has finished its stop sequence, not
    // when the frame's window disappears.
    QApplication::setQuitOnLastWindowClosed(false);

    int exitCode = 0;
    tv::threads::start(
        [&exitCode] {
            exitCode = tv::app::programMain(tv::app::defaultProgramSteps(runStandInFrame));
            QCoreApplication::exit(0);
        },
        kThreadOneStack);
    app.exec();
    return exitCode;
}
