// Builds the user's manual: takes the pictures of the program's windows
// (offscreen, on a scratch database with sample rows) and lays the
// manual's chapters out with them as a PDF.
//
//     talvor_manual_builder <chapters folder> <manual.pdf> [<pictures folder>]
//
// The chapters are the folder's *.md files in the order of their names.
// With a pictures folder the pictures are also saved there as PNG files
// (to look at them while writing the manual).
// Ends with 1, saying why, when a chapter names a picture that was not
// taken or the PDF could not be written.
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/frame/main_frame.h"
#include "app/help/manual_builder/manual_layout.h"
#include "app/help/manual_builder/window_pictures.h"
#include "app/qt_spanish.h"
#include "app/registered_modules.h"
#include "platform/errors/error_reporter.h"
#include "platform/errors/scripted_presenter.h"
#include "platform/ini/ini_store.h"
#include "platform/storage/storage.h"

namespace {

// Whatever the windows say while they are photographed is answered with
// its preset; anything but a question (closing a form that was typed in
// asks one) is noted: it is a sign the pictures are off.
class NotingPresenter : public tv::MessagePresenter {
public:
    tv::Answer show(const tv::MessageBox& box) override {
        if (box.buttons == tv::MessageBox::Buttons::Ok)
            std::fprintf(stderr, "manual: message \"%s\": %s\n", box.caption.c_str(), box.text.c_str());
        return box.preset;
    }
};

// The offscreen platform says what it cannot do (raise a window); that
// says nothing about the pictures.
void quietOffscreen(QtMsgType, const QMessageLogContext&, const QString& msg) {
    if (msg.startsWith(QStringLiteral("This plugin does not support"))) return;
    std::fprintf(stderr, "%s\n", qPrintable(msg));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s <chapters folder> <manual.pdf> [<pictures folder>]\n", argv[0]);
        return 2;
    }
    const QString chaptersFolder = QString::fromLocal8Bit(argv[1]);
    const QString output = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[2]));
    const QString picturesFolder = argc == 4 ? QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[3])) : QString();

    // Nothing of the user's is touched: the database, the settings and the
    // lock all live in a scratch folder that goes at the end.
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "manual: no scratch folder\n");
        return 1;
    }
    for (const char* sub : {"config", "runtime", "home"}) QDir(scratch.path()).mkpath(QString::fromUtf8(sub));
    QFile::setPermissions(scratch.filePath(QStringLiteral("runtime")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_CONFIG_HOME", scratch.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", scratch.filePath(QStringLiteral("runtime")).toLocal8Bit());
    qputenv("HOME", scratch.filePath(QStringLiteral("home")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

    QStringList chapters;
    const QDir folder(chaptersFolder);
    for (const QString& name : folder.entryList({QStringLiteral("*.md")}, QDir::Files, QDir::Name)) {
        QFile f(folder.filePath(name));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "manual: cannot read %s\n", qPrintable(f.fileName()));
            return 1;
        }
        chapters << QString::fromUtf8(f.readAll());
    }
    if (chapters.isEmpty()) {
        std::fprintf(stderr, "manual: no chapters in %s\n", qPrintable(chaptersFolder));
        return 1;
    }

    qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);
    QDir::setCurrent(scratch.path());
    tv::storage::setDatabasePath("talvor.db");
    tv::app::InstallQtSpanishTexts();
    tv::app::RegisterModuleProcedures();
    tv::ErrorReporter::instance().setUp();
    tv::IniStore::instance().setUp();
    NotingPresenter presenter;
    tv::ErrorReporter::instance().setPresenter(&presenter);
    // A fatal message would end the build without a word otherwise.
    tv::ErrorReporter::instance().setFatalHandler([](int n) {
        std::fprintf(stderr, "manual: fatal message %d while taking the pictures\n", n);
        std::exit(1);
    });

    tv::app::manual::ManualSource source;
    source.title = QStringLiteral("Tal-Vor");
    source.subtitle = QStringLiteral("Manual del usuario");
    source.chapters = chapters;
    source.pictures = tv::app::manual::TakeWindowPictures();
    if (source.pictures.empty()) {
        std::fprintf(stderr, "manual: the program's frame did not come up\n");
        return 1;
    }
    if (!picturesFolder.isEmpty()) {
        QDir().mkpath(picturesFolder);
        for (const auto& [name, picture] : source.pictures) picture.save(QDir(picturesFolder).filePath(name));
    }
    bool missing = false;
    for (const QString& name : tv::app::manual::PicturesNamed(chapters)) {
        if (source.pictures.count(name) == 0) {
            std::fprintf(stderr, "manual: no picture %s was taken\n", qPrintable(name));
            missing = true;
        }
    }
    if (missing) return 1;

    QString error;
    if (!tv::app::manual::WriteManualPdf(source, output, &error)) {
        std::fprintf(stderr, "manual: %s\n", qPrintable(error));
        return 1;
    }
    tv::IniStore::instance().shutDown();
    return 0;
}
