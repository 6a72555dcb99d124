#include "platform/ui/desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>

namespace tv::ui {

namespace {

class QtDesktopOpener : public DesktopOpener {
public:
    bool open(const QString& what) override {
        const QUrl asUrl(what, QUrl::StrictMode);
        // "C:..." style or plain names are files; only real schemes are addresses.
        const bool address = asUrl.isValid() && asUrl.scheme().size() > 1 && !asUrl.isLocalFile();
        const QUrl url = address ? asUrl : QUrl::fromLocalFile(QFileInfo(what).absoluteFilePath());
        return QDesktopServices::openUrl(url);
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
