// orbelune-guide-pdf GUIDE.md OUT.pdf: the user guide as an A4 PDF, the one
// "Help > Content" opens. The Markdown is laid out by Qt's text document,
// its pictures are read from paths relative to the Markdown file and scaled
// down to the width of the page, a contents page lists the chapters and
// sections with their pages, and every page but the first gets its number
// at the foot. Runs without a display (offscreen platform).
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
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

// The number of headings the Markdown source has (lines starting with "#"
// and a blank, outside fenced code). The reader takes a word in angle
// brackets for an HTML tag and may drop the text after it, headings
// included; fewer headings with text in the document than in the source
// show such a loss.
int SourceHeadings(const QString& markdown) {
  static const QRegularExpression heading("^#{1,6} ");
  int count = 0;
  bool fenced = false;
  for (const QString& line : markdown.split('\n')) {
    if (line.startsWith("```")) fenced = !fenced;
    if (!fenced && heading.match(line).hasMatch()) ++count;
  }
  return count;
}

int DocumentHeadings(const QTextDocument& doc) {
  int count = 0;
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    if (block.blockFormat().headingLevel() > 0 && !block.text().trimmed().isEmpty()) ++count;
  }
  return count;
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

// A "Contents" chapter before the first chapter: one line per chapter and
// section, its page number right-aligned. Each number is first written as
// two reserved digits, which FillContents overwrites with the real page
// once the document is laid out, so that the layout does not move. Returns
// where each page number stands, in heading order.
// `width` and `line` are in the writer's units, `tabScale` turns them into
// those of tab positions (a 96 dpi screen's).
std::vector<int> AddContents(QTextDocument& doc, double width, double line, double tabScale) {
  struct Heading {
    int level;
    QString text;
  };
  std::vector<Heading> headings;
  QTextBlock first;
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    const int level = block.blockFormat().headingLevel();
    if (level == 2 && !first.isValid()) first = block;
    if (level == 2 || level == 3) headings.push_back({level, block.text()});
  }
  std::vector<int> numbers;
  if (!first.isValid() || !first.previous().isValid()) return numbers;

  // A new chapter heading, like the first one, between the introduction and
  // the first chapter.
  QTextCursor cursor(first.previous());
  cursor.movePosition(QTextCursor::EndOfBlock);
  const QTextCharFormat titleFont = first.begin().atEnd() ? first.charFormat() : first.begin().fragment().charFormat();
  cursor.insertBlock(first.blockFormat(), titleFont);
  cursor.insertText("Contents");
  for (const Heading& heading : headings) {
    const double indent = heading.level == 3 ? line * 1.5 : 0;
    QTextBlockFormat entry;
    entry.setLeftMargin(indent);
    entry.setTopMargin(heading.level == 2 ? line * 0.5 : 0);
    // The tab stop counts from the indented edge; a little short of the
    // right edge so that the number stays on the line.
    entry.setTabPositions({QTextOption::Tab((width - indent - line) * tabScale, QTextOption::RightTab)});
    QTextCharFormat text;
    text.setFontWeight(heading.level == 2 ? QFont::Bold : QFont::Normal);
    cursor.insertBlock(entry, text);
    cursor.insertText(heading.text + "\t");
    numbers.push_back(cursor.position());
    cursor.insertText("00");
  }
  return numbers;
}

// Writes the page of each chapter and section heading that follows the
// contents over its two reserved digits in the contents.
void FillContents(QTextDocument& doc, const std::vector<int>& numbers, double pageHeight) {
  if (numbers.empty()) return;
  std::vector<int> pages;
  for (QTextBlock block = doc.findBlock(numbers.back()).next(); block.isValid(); block = block.next()) {
    const int level = block.blockFormat().headingLevel();
    if (level != 2 && level != 3) continue;
    const QRectF box = doc.documentLayout()->blockBoundingRect(block);
    pages.push_back(static_cast<int>((box.top() + 1) / pageHeight) + 1);
  }
  for (std::size_t i = std::min(numbers.size(), pages.size()); i-- > 0;) {
    QTextCursor cursor(&doc);
    cursor.setPosition(numbers[i]);
    cursor.setPosition(numbers[i] + 2, QTextCursor::KeepAnchor);
    cursor.insertText(QString::number(pages[i]));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: orbelune-guide-pdf GUIDE.md OUT.pdf [OUT.html]\n");
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

  // Written whole or not at all: a failed run leaves no PDF behind that a
  // later build could take for a finished one.
  QSaveFile out(target);
  if (!out.open(QIODevice::WriteOnly)) {
    std::fprintf(stderr, "orbelune-guide-pdf: cannot write %s\n", qPrintable(target));
    return 4;
  }
  QPdfWriter writer(&out);
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
  if (DocumentHeadings(doc) != SourceHeadings(markdown)) {
    std::fprintf(stderr,
                 "orbelune-guide-pdf: %s has %d headings but only %d were read; text in angle brackets "
                 "(<word>) outside code is taken for HTML: write it \\<word>\n",
                 qPrintable(source), SourceHeadings(markdown), DocumentHeadings(doc));
    return 7;
  }
  if (argc == 4) {
    // The same guide as one HTML page, its pictures referred to as in the
    // Markdown (images/...), for a browser or a screen reader.
    QSaveFile html(QString::fromLocal8Bit(argv[3]));
    if (!html.open(QIODevice::WriteOnly) || html.write(doc.toHtml().toUtf8()) < 0 || !html.commit()) {
      std::fprintf(stderr, "orbelune-guide-pdf: cannot write %s\n", argv[3]);
      return 4;
    }
  }
  Space(doc, QFontMetricsF(font, &writer).height());
  // Picture widths are in units of a 96 dpi screen, scaled to the writer.
  if (!LoadPictures(doc, QFileInfo(source).absolutePath(), body.width() * 96.0 / writer.logicalDpiX())) return 7;
  const std::vector<int> contents =
      AddContents(doc, body.width(), QFontMetricsF(font, &writer).height(), 96.0 / writer.logicalDpiX());
  doc.pageCount();  // lays the document out
  FillContents(doc, contents, body.height());

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
  if (!out.commit()) {
    std::fprintf(stderr, "orbelune-guide-pdf: cannot write %s\n", qPrintable(target));
    return 4;
  }
  std::printf("%s: %d pages\n", qPrintable(target), pages);
  return 0;
}
