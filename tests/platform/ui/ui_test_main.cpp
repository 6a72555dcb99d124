// UI tests need a QApplication; logical threads are resumed from its loop.
#include <cstdio>

#include <QApplication>
#include <gtest/gtest.h>

#include "platform/ui/layout_audit.h"
#include "platform/ui/window.h"

namespace {
// The offscreen platform says what it cannot do (raise a window); that
// says nothing about the code under test.
void quietOffscreen(QtMsgType, const QMessageLogContext&, const QString& msg) {
    if (msg.startsWith(QStringLiteral("This plugin does not support"))) return;
    std::fprintf(stderr, "%s\n", qPrintable(msg));
}

// Every window a test opens is laid out as a user would want to read it,
// as it opens and as it closes (grown or maximised): no prompt cut short or
// lying over its entry.
void auditLayout(tv::ui::Window& w) {
    for (const QString& fault : tv::ui::layoutFaults(w))
        ADD_FAILURE() << "window \"" << qPrintable(w.caption()) << "\": " << qPrintable(fault);
}
}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(quietOffscreen);
    ::testing::InitGoogleTest(&argc, argv);
    // Test discovery runs the program without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tv::ui::setLayoutObserver(auditLayout);
    return RUN_ALL_TESTS();
}
