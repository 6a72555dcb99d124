#include "app/help/manual_builder/manual_layout.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

namespace tv::app::manual {

namespace {

constexpr int kDpi = 300;
constexpr qreal kMarginMm = 20.0;
constexpr qreal kFooterMm = 12.0;  // below the text: the page number
// Text and picture widths are given in units of a 96-dpi screen.
constexpr qreal kScreenDpi = 96.0;

qreal mmToDevice(qreal mm) { return mm / 25.4 * kDpi; }
// Format lengths (margins, picture sizes) are in screen units: the layout
// scales them to the page.
qreal mmToScreen(qreal mm) { return mm / 25.4 * kScreenDpi; }

struct Heading {
    int level = 0;
    QString text;
    int page = 0;
};

// The chapters' headings of levels 1 and 2, in order.
std::vector<Heading> headingsOf(const QTextDocument& doc, qreal pageHeight) {
    std::vector<Heading> out;
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        if (level < 1 || level > 2) continue;
        const qreal top = layout->blockBoundingRect(b).top();
        out.push_back({level, b.text().trimmed(), static_cast<int>(top / pageHeight) + 1});
    }
    return out;
}

QString escaped(QString text) {
    text.replace(QLatin1Char('|'), QStringLiteral("\\|"));
    return text;
}

// The table of contents as Markdown: one row per chapter and section.
QString contents(const std::vector<Heading>& headings) {
    QString md = QStringLiteral("# Contenido\n\n| | |\n|:--|--:|\n");
    for (const Heading& h : headings) {
        if (h.text == QStringLiteral("Contenido")) continue;
        const QString title = h.level == 1 ? QStringLiteral("**%1**").arg(escaped(h.text))
                                           : QStringLiteral("    %1").arg(escaped(h.text));
        md += QStringLiteral("| %1 | %2 |\n").arg(title, h.page > 0 ? QString::number(h.page) : QStringLiteral("0"));
    }
    return md + QLatin1Char('\n');
}

class Layout {
public:
    Layout(const ManualSource& source, QPdfWriter& writer) : source_(source), writer_(writer) {
        pageWidth_ = writer.width();
        pageHeight_ = writer.height();
    }

    // Builds the document; the contents list shows `headings` (their pages
    // as found by the previous pass).
    void build(const std::vector<Heading>& headings) {
        // A document of its own each pass: one laid out before, cleared and
        // filled again, leaves parts of the new text unlaid.
        doc_ = std::make_unique<QTextDocument>();
        doc_->documentLayout()->setPaintDevice(&writer_);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(10);
        doc_->setDefaultFont(font);
        // A blank paragraph first: the title's top margin then counts.
        QString md = QStringLiteral("\u00A0\n\n") + source_.title + QStringLiteral("\n\n") + source_.subtitle +
                     QStringLiteral("\n\n") + contents(headings);
        for (const QString& chapter : source_.chapters) md += chapter + QStringLiteral("\n\n");
        doc_->setMarkdown(md, QTextDocument::MarkdownDialectGitHub);
        // After the text: setting it clears the resources.
        for (const auto& [name, picture] : source_.pictures)
            doc_->addResource(QTextDocument::ImageResource, QUrl(name), picture);

        shapeBlocks();
        shapeTitlePage();
        // The page last, and everything laid out afresh: blocks changed after
        // a paginated layout may otherwise be left without lines.
        QTextFrameFormat root = doc_->rootFrame()->frameFormat();
        root.setLeftMargin(mmToScreen(kMarginMm));
        root.setRightMargin(mmToScreen(kMarginMm));
        root.setTopMargin(mmToScreen(kMarginMm));
        root.setBottomMargin(mmToScreen(kMarginMm + kFooterMm));
        doc_->rootFrame()->setFrameFormat(root);
        doc_->setPageSize(QSizeF(pageWidth_, pageHeight_));
        doc_->markContentsDirty(0, doc_->characterCount());
    }

    std::vector<Heading> headings() { return headingsOf(*doc_, pageHeight_); }
    int pageCount() { return doc_->pageCount(); }
    int picturesLaidOut() const { return pictures_; }
    // Blocks with text that the layout left without a line (none, or the
    // PDF would silently miss text).
    int blocksLeftOut() {
        (void)doc_->pageCount();
        int n = 0;
        for (QTextBlock b = doc_->begin(); b.isValid(); b = b.next())
            if (!b.text().trimmed().isEmpty() && b.layout()->lineCount() == 0) ++n;
        return n;
    }

    void print(QPainter& painter) {
        const int pages = doc_->pageCount();
        QFont small(QStringLiteral("DejaVu Sans"));
        small.setPointSizeF(8);
        for (int i = 0; i < pages; ++i) {
            if (i > 0) writer_.newPage();
            painter.save();
            const QRectF page(0, i * pageHeight_, pageWidth_, pageHeight_);
            painter.translate(0, -page.top());
            painter.setClipRect(page);
            QAbstractTextDocumentLayout::PaintContext ctx;
            ctx.clip = page;
            doc_->documentLayout()->draw(&painter, ctx);
            painter.restore();
            if (i == 0) continue;  // the title page has no number
            painter.setFont(small);
            painter.setPen(Qt::darkGray);
            const QRectF foot(mmToDevice(kMarginMm), pageHeight_ - mmToDevice(kMarginMm + kFooterMm / 2),
                              pageWidth_ - 2 * mmToDevice(kMarginMm), mmToDevice(kFooterMm));
            painter.drawText(foot, Qt::AlignLeft | Qt::AlignTop, source_.title);
            painter.drawText(foot, Qt::AlignRight | Qt::AlignTop, QStringLiteral("Página %1").arg(i + 1));
        }
    }

private:
    // Chapters start on a new page; pictures fit the text's width, centred,
    // with their title below them; tables are spaced and ruled lightly.
    void shapeBlocks() {
        const qreal textWidth = pageWidth_ / kDpi * kScreenDpi - 2 * mmToScreen(kMarginMm);
        QTextCursor cursor(doc_.get());
        std::vector<std::pair<int, QString>> captions;  // block end position, text
        const std::vector<PictureReference> references = PictureReferences(source_.chapters);
        std::size_t nth = 0;
        pictures_ = 0;
        for (QTextBlock b = doc_->begin(); b.isValid(); b = b.next()) {
            QTextBlockFormat bf = b.blockFormat();
            if (bf.headingLevel() == 1) {
                bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                bf.setBottomMargin(12);
                cursor.setPosition(b.position());
                cursor.setBlockFormat(bf);
            } else if (bf.headingLevel() >= 2) {
                bf.setTopMargin(14);
                bf.setBottomMargin(6);
                cursor.setPosition(b.position());
                cursor.setBlockFormat(bf);
            }
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment f = it.fragment();
                if (!f.charFormat().isImageFormat()) continue;
                QTextImageFormat img = f.charFormat().toImageFormat();
                // In the order written: the reference gives the caption.
                const QString caption = nth < references.size() ? references[nth].description : QString();
                ++nth;
                ++pictures_;
                auto found = source_.pictures.find(img.name());
                if (found == source_.pictures.end()) continue;
                const QImage& pic = found->second;
                const qreal natural = pic.width() / pic.devicePixelRatio();
                const qreal width = std::min(natural, textWidth);
                img.setWidth(width);
                img.setHeight(width * pic.height() / pic.width());
                cursor.setPosition(f.position());
                cursor.setPosition(f.position() + f.length(), QTextCursor::KeepAnchor);
                cursor.setCharFormat(img);
                QTextBlockFormat centred = b.blockFormat();
                centred.setAlignment(Qt::AlignHCenter);
                centred.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
                centred.setTopMargin(6);
                cursor.setBlockFormat(centred);
                if (!caption.isEmpty()) captions.emplace_back(b.position() + b.length() - 1, caption);
            }
        }
        // Captions from the last, so earlier positions stay where they are.
        std::sort(captions.begin(), captions.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        for (const auto& [end, text] : captions) {
            cursor.setPosition(end);
            QTextBlockFormat cf;
            cf.setAlignment(Qt::AlignHCenter);
            cf.setBottomMargin(10);
            QTextCharFormat chf;
            chf.setFontItalic(true);
            chf.setFontPointSize(9);
            cursor.insertBlock(cf, chf);
            cursor.insertText(text, chf);
        }
        for (QTextFrame* frame : doc_->rootFrame()->childFrames()) {
            auto* table = qobject_cast<QTextTable*>(frame);
            if (table == nullptr) continue;
            QTextTableFormat tf = table->format();
            tf.setCellPadding(4);
            tf.setCellSpacing(0);
            tf.setBorder(0.5);
            tf.setBorderBrush(QBrush(Qt::gray));
            tf.setBorderCollapse(true);
            tf.setTopMargin(6);
            tf.setBottomMargin(8);
            tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
            table->setFormat(tf);
        }
    }

    // The title page's title and subtitle, after its blank first paragraph.
    void shapeTitlePage() {
        QTextBlock b = doc_->begin().next();
        for (int i = 0; i < 2 && b.isValid(); ++i, b = b.next()) {
            QTextCursor cursor(b);
            QTextBlockFormat bf = b.blockFormat();
            bf.setAlignment(Qt::AlignHCenter);
            bf.setTopMargin(i == 0 ? mmToScreen(70) : 24);
            cursor.setBlockFormat(bf);
            cursor.setPosition(b.position());
            cursor.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
            QTextCharFormat cf;
            cf.setFontPointSize(i == 0 ? 30 : 14);
            cf.setFontWeight(i == 0 ? QFont::Bold : QFont::Normal);
            cursor.mergeCharFormat(cf);
        }
    }

    const ManualSource& source_;
    QPdfWriter& writer_;
    std::unique_ptr<QTextDocument> doc_;
    qreal pageWidth_ = 0;
    qreal pageHeight_ = 0;
    int pictures_ = 0;
};

}  // namespace

std::vector<PictureReference> PictureReferences(const QStringList& chapters) {
    static const QRegularExpression image(QStringLiteral(R"(!\[([^\]]*)\]\(\s*([^)\s]+)[^)]*\))"));
    std::vector<PictureReference> out;
    for (const QString& c : chapters)
        for (auto it = image.globalMatch(c); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            out.push_back({m.captured(2), m.captured(1).trimmed()});
        }
    return out;
}

QStringList PicturesNamed(const QStringList& chapters) {
    QStringList names;
    for (const PictureReference& r : PictureReferences(chapters)) names << r.name;
    return names;
}

bool WriteManualPdf(const ManualSource& source, const QString& pdfPath, QString* error) {
    QPdfWriter writer(pdfPath);
    writer.setResolution(kDpi);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    writer.setTitle(source.title + QStringLiteral(" — ") + source.subtitle);
    writer.setCreator(source.title);
    Layout layout(source, writer);
    // First pass: where the headings fall; second: the contents show it.
    // Both have the same number of contents rows, so nothing moves.
    layout.build({});
    std::vector<Heading> headings = layout.headings();
    layout.build(headings);
    headings = layout.headings();
    layout.build(headings);
    const auto references = PictureReferences(source.chapters);
    for (const PictureReference& r : references) {
        if (r.description.isEmpty()) {
            // The Markdown reader leaves such a picture out altogether.
            if (error != nullptr) *error = QStringLiteral("la imagen %1 no tiene descripción: ![descripción](%1)").arg(r.name);
            return false;
        }
    }
    if (layout.picturesLaidOut() != static_cast<int>(references.size())) {
        if (error != nullptr)
            *error = QStringLiteral("%1 imágenes en el texto, %2 en las páginas")
                         .arg(references.size())
                         .arg(layout.picturesLaidOut());
        return false;
    }
    if (const int left = layout.blocksLeftOut(); left > 0) {
        if (error != nullptr) *error = QStringLiteral("%1 párrafos quedaron fuera de las páginas").arg(left);
        return false;
    }
    QPainter painter;
    if (!painter.begin(&writer)) {
        if (error != nullptr) *error = QStringLiteral("no se pudo escribir %1").arg(pdfPath);
        return false;
    }
    layout.print(painter);
    if (!painter.end()) {
        if (error != nullptr) *error = QStringLiteral("no se pudo terminar %1").arg(pdfPath);
        return false;
    }
    return true;
}

}  // namespace tv::app::manual
