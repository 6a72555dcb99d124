#pragma once
// What the benchmarks share: a temporary folder for their databases,
// removed at the end of the run, and quiet offscreen windows.
#include <cstdio>

#include <QString>
#include <QtGlobal>

#include "bench/support/folder.h"

namespace tv::bench {

// The offscreen platform says what it cannot do (raise a window); that says
// nothing about what is measured.
inline void quietOffscreen(QtMsgType, const QMessageLogContext&, const QString& msg) {
    if (msg.startsWith(QStringLiteral("This plugin does not support"))) return;
    std::fprintf(stderr, "%s\n", qPrintable(msg));
}

}  // namespace tv::bench
