#include "app/qt_spanish.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace tv::app {
namespace {

TEST(QtSpanish, TheFileDialogsTextsAreSpanish) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    ASSERT_TRUE(InstallQtSpanishTexts()) << "qt6-translations-l10n is installed by scripts/deps.sh";
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Open"), QStringLiteral("&Abrir"));
}

}  // namespace
}  // namespace tv::app
