// orbelune-guide-pdf GUIDE.md OUT.pdf: the user guide as an A4 PDF, the one
// "Help > Content" opens. The Markdown is laid out by Qt's text document,
// its pictures are read from paths relative to the Markdown file and scaled
// down to the width of the page, and every page but the first gets its
// number at the foot. Runs without a display (offscreen platform).
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextFrame>
#include <QTextTable>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr double kMarginMm = 18.0;
constexpr double kFooterMm = 10.0;

// One picture of the guide: where it sits in the document and its format.
struct Picture {
  int position;
  int length;
  QTextImageFormat format;
};

// Loads every picture into the document and sets its width so that it fits
// the text width (`maxWidth`, in the document's units); a picture that
// cannot be read is an error, so that a broken link never ships silently.
bool LoadPictures(QTextDocument& doc, const QString& baseFolder, double maxWidth) {
  std::vector<Picture> pictures;
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (fragment.charFormat().isImageFormat()) {
        pictures.push_back({fragment.position(), fragment.length(), fragment.charFormat().toImageFormat()});
      }
    }
  }
  bool ok = true;
  for (Picture& picture : pictures) {
    const QString name = picture.format.name();
    const QImage image(QFileInfo(baseFolder + "/" + name).absoluteFilePath());
    if (image.isNull()) {
      std::fprintf(stderr, "orbelune-guide-pdf: cannot read the picture %s\n", qPrintable(name));
      ok = false;
      continue;
    }
    doc.addResource(QTextDocument::ImageResource, QUrl(name), image);
    const double width = std::min<double>(image.width(), maxWidth);
    picture.format.setWidth(width);
    picture.format.setHeight(width * image.height() / image.width());
    QTextCursor cursor(&doc);
    cursor.setPosition(picture.position);
    cursor.setPosition(picture.position + picture.length, QTextCursor::KeepAnchor);
    cursor.setCharFormat(picture.format);
  }
  return ok;
}

// Spacing that the Markdown reader leaves out: room between paragraphs and
// around headings, a new page for each chapter, padded table cells with thin rules, a tinted background
// behind code blocks. `line` is the height of a line of body text.
void Space(QTextDocument& doc, double line) {
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    QTextBlockFormat format = block.blockFormat();
    if (format.headingLevel() > 0) {
      // Each chapter starts a page, so that no chapter title is left alone
      // at the foot of one.
      if (format.headingLevel() == 2) format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
      format.setTopMargin(line * (format.headingLevel() <= 1 ? 1.2 : 0.9));
      format.setBottomMargin(line * 0.35);
    } else if (format.nonBreakableLines()) {  // a code block
      format.setBackground(QColor(240, 240, 240));
      format.setLeftMargin(line * 0.5);
    } else if (!block.textList()) {
      format.setBottomMargin(line * 0.45);
    }
    QTextCursor(block).setBlockFormat(format);
  }
  for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
    if (auto* table = qobject_cast<QTextTable*>(frame)) {
      QTextTableFormat format = table->format();
      format.setCellPadding(line * 0.2);
      format.setCellSpacing(0);
      format.setBorder(1);
      format.setBorderBrush(QColor(150, 150, 150));
      format.setBorderCollapse(true);
      format.setBottomMargin(line * 0.5);
      table->setFormat(format);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: orbelune-guide-pdf GUIDE.md OUT.pdf\n");
    return 2;
  }
  const QString source = QString::fromLocal8Bit(argv[1]);
  const QString target = QString::fromLocal8Bit(argv[2]);
  QFile file(source);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "orbelune-guide-pdf: cannot read %s\n", qPrintable(source));
    return 7;
  }
  const QString markdown = QString::fromUtf8(file.readAll());

  QPdfWriter writer(target);
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setResolution(300);
  writer.setTitle("Orbelune user guide");
  writer.setCreator("orbelune-guide-pdf");

  const double dotsPerMm = writer.resolution() / 25.4;
  const QSizeF page(writer.width(), writer.height());
  const double margin = kMarginMm * dotsPerMm;
  const double footer = kFooterMm * dotsPerMm;
  const QSizeF body(page.width() - 2 * margin, page.height() - 2 * margin - footer);

  QTextDocument doc;
  doc.documentLayout()->setPaintDevice(&writer);
  QFont font("DejaVu Sans");
  font.setPointSizeF(10);
  doc.setDefaultFont(font);
  doc.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
  doc.setPageSize(body);
  Space(doc, QFontMetricsF(font, &writer).height());
  // Picture widths are in units of a 96 dpi screen, scaled to the writer.
  if (!LoadPictures(doc, QFileInfo(source).absolutePath(), body.width() * 96.0 / writer.logicalDpiX())) return 7;

  QPainter painter;
  if (!painter.begin(&writer)) {
    std::fprintf(stderr, "orbelune-guide-pdf: cannot write %s\n", qPrintable(target));
    return 4;
  }
  QFont footerFont = font;
  footerFont.setPointSizeF(8);
  const int pages = doc.pageCount();
  for (int i = 0; i < pages; ++i) {
    if (i > 0) writer.newPage();
    painter.save();
    painter.translate(margin, margin - i * body.height());
    const QRectF visible(0, i * body.height(), body.width(), body.height());
    painter.setClipRect(visible);
    doc.drawContents(&painter, visible);
    painter.restore();
    if (i > 0) {
      painter.setFont(footerFont);
      painter.drawText(QRectF(margin, page.height() - margin - footer / 2, body.width(), footer),
                       Qt::AlignHCenter | Qt::AlignTop, QString("%1 / %2").arg(i + 1).arg(pages));
    }
  }
  painter.end();
  std::printf("%s: %d pages\n", qPrintable(target), pages);
  return 0;
}
