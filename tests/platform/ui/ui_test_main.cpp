// UI tests need a QApplication; logical threads are resumed from its loop.
#include <cstdio>

#include <QApplication>
#include <gtest/gtest.h>

namespace {
// The offscreen platform says what it cannot do (raise a window); that
// says nothing about the code under test.
void quietOffscreen(QtMsgType, const QMessageLogContext&, const QString& msg) {
    if (msg.startsWith(QStringLiteral("This plugin does not support"))) return;
    std::fprintf(stderr, "%s\n", qPrintable(msg));
}
}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(quietOffscreen);
    ::testing::InitGoogleTest(&argc, argv);
    // Test discovery runs the program without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
