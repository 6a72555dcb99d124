#include "app/help/manual_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace tv::app {

QString BuiltManualPath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromUtf8(kManualFile));
}

ManualPlaced ProvideManual(const QString& folder, const QString& built) {
    const QString target = QDir(folder).filePath(QString::fromUtf8(kManualFile));
    // Whatever has the name (a file, a link, even a broken one) is the user's.
    if (QFileInfo(target).exists() || QFileInfo(target).isSymLink()) return ManualPlaced::AlreadyThere;
    QFile source(built);
    if (!QFileInfo(built).isFile() || !source.open(QIODevice::ReadOnly)) return ManualPlaced::NoBuiltManual;

    QTemporaryFile copy(QDir(folder).filePath(QStringLiteral("manual.pdf.XXXXXX")));
    if (!copy.open()) return ManualPlaced::Failed;
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(1 << 16);
        if (chunk.isEmpty() || copy.write(chunk) != chunk.size()) return ManualPlaced::Failed;
    }
    if (!copy.flush()) return ManualPlaced::Failed;
    copy.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    // QFile::rename refuses an existing target, so a manual put there
    // meanwhile stays as it is.
    const QString temporary = copy.fileName();
    copy.setAutoRemove(false);
    if (copy.rename(target)) return ManualPlaced::Copied;
    QFile::remove(temporary);
    return QFileInfo(target).exists() ? ManualPlaced::AlreadyThere : ManualPlaced::Failed;
}

}  // namespace tv::app
