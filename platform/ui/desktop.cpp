#include "platform/ui/desktop.h"

#include <chrono>
#include <memory>
#include <utility>

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include "platform/threads/logical_thread.h"
#include "platform/ui/window.h"

namespace tv::ui {

namespace {

// How long a document opener that is still running is waited for before it
// counts as having opened the document: long enough for plain xdg-open to
// try every way it knows and fail (seconds, on a busy machine).
std::chrono::milliseconds g_patience{10000};

// Qt hands a document to xdg-open and calls it opened once xdg-open has
// started, even on a machine where nothing opens that kind of file. So the
// opener is run here and watched: a failure ends it within moments with a
// non-zero status; a success either ends it at once (a desktop's own
// opener) or keeps it running (plain xdg-open waits for the viewer it
// started). The asking thread waits without holding up the others.
bool openWatched(const QString& opener, const QString& file) {
    struct Outcome {
        bool ended = false;
        bool ok = false;
        bool timedOut = false;
        bool waiting = true;  // the asking thread is woken only while it waits here
    };
    auto outcome = std::make_shared<Outcome>();
    const threads::ThreadNo asking = threads::current();
    // Owned by nobody: it outlives this call while the viewer runs, and a
    // program that ends meanwhile leaves the viewer open.
    auto* process = new QProcess;
    process->setProgram(opener);
    process->setArguments({file});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    auto settle = [outcome, asking, process](bool ok) {
        if (outcome->ended) return;
        outcome->ended = true;
        outcome->ok = ok;
        process->deleteLater();
        if (asking != 0 && outcome->waiting) threads::wake(asking);
    };
    QObject::connect(process, &QProcess::finished, process,
                     [settle](int code, QProcess::ExitStatus status) { settle(status == QProcess::NormalExit && code == 0); });
    QObject::connect(process, &QProcess::errorOccurred, process, [settle](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) settle(false);
    });
    QTimer patience;
    patience.setSingleShot(true);
    QObject::connect(&patience, &QTimer::timeout, [outcome, asking] {
        outcome->timedOut = true;
        if (asking != 0) threads::wake(asking);
    });
    process->start();
    patience.start(static_cast<int>(g_patience.count()));
    waitUntil([&] { return outcome->ended || outcome->timedOut; });
    outcome->waiting = false;
    return outcome->ended ? outcome->ok : true;
}

class QtDesktopOpener : public DesktopOpener {
public:
    bool open(const QString& what) override {
        const QUrl asUrl(what, QUrl::StrictMode);
        // "C:..." style or plain names are files; only real schemes are addresses.
        const bool address = asUrl.isValid() && asUrl.scheme().size() > 1 && !asUrl.isLocalFile();
        const QString file = QFileInfo(what).absoluteFilePath();
#if !defined(Q_OS_WIN) && !defined(Q_OS_MACOS)
        if (!address) {
            const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
            if (!opener.isEmpty()) return openWatched(opener, file);
        }
#endif
        return QDesktopServices::openUrl(address ? asUrl : QUrl::fromLocalFile(file));
    }
};

DesktopOpener* g_opener = nullptr;
int g_beeps = 0;

}  // namespace

DesktopOpener& desktopOpener() {
    static QtDesktopOpener own;
    return g_opener != nullptr ? *g_opener : own;
}

void setDesktopOpener(DesktopOpener* opener) { g_opener = opener; }

std::chrono::milliseconds setDocumentOpenerPatience(std::chrono::milliseconds patience) {
    return std::exchange(g_patience, patience);
}

WaitCursor::WaitCursor() {
    if (QGuiApplication::instance() != nullptr) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor() {
    if (QGuiApplication::instance() != nullptr) QGuiApplication::restoreOverrideCursor();
}

void beep() {
    ++g_beeps;
    if (QApplication::instance() != nullptr) QApplication::beep();
}

int beepCount() { return g_beeps; }

}  // namespace tv::ui
