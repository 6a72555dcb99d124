#pragma once
// Lays the user's manual out as a PDF: its chapters (Markdown, one file
// each, in the order given) with the pictures they name, a title page and
// a table of contents with page numbers, every page numbered.
#include <map>
#include <vector>

#include <QImage>
#include <QString>
#include <QStringList>

namespace tv::app::manual {

struct ManualSource {
    QString title;                        // the title page's heading
    QString subtitle;
    QStringList chapters;                 // Markdown texts
    std::map<QString, QImage> pictures;   // by the name the Markdown uses
};

// A picture as a chapter refers to it: "![description](name.png)"; the
// description is printed below it.
struct PictureReference {
    QString name;
    QString description;
};
std::vector<PictureReference> PictureReferences(const QStringList& chapters);
// Their names, in order.
QStringList PicturesNamed(const QStringList& chapters);

// Writes the PDF; false with `error` set when it could not be written.
bool WriteManualPdf(const ManualSource& source, const QString& pdfPath, QString* error);

}  // namespace tv::app::manual
