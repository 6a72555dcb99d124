#pragma once
// What the windows ask of the desktop: opening a document or an address with
// its default program (without waiting), the wait cursor and the beep.
#include <chrono>

#include <QString>

namespace tv::ui {

class DesktopOpener {
public:
    virtual ~DesktopOpener() = default;
    // A path (relative to the working folder or absolute) or an address
    // ("https://..."); false when the desktop could not start a program.
    // The desktop's own opener may wait a few seconds for a document's
    // opener to say it failed (the calling thread yields meanwhile).
    virtual bool open(const QString& documentOrAddress) = 0;
};

DesktopOpener& desktopOpener();
void setDesktopOpener(DesktopOpener* opener);  // nullptr: the desktop's own
// How long the desktop's own opener waits for a document's opener that is
// still running before it counts the document as opened (tests shorten it);
// returns the patience it had.
std::chrono::milliseconds setDocumentOpenerPatience(std::chrono::milliseconds patience);

// The wait cursor over the whole program for the scope.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

void beep();
int beepCount();  // how many beeps so far (tests)

}  // namespace tv::ui
