#include "ui/app/frm_init.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGridLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include "app/startup.h"
#include "ui/app/program.h"

namespace orb {
namespace {

const QColor kHover(255, 255, 192);
const QColor kPlain(255, 255, 255);
const char* kWebSite = "https://orbelune.example.org/";

QPixmap Logo() {
  // The instrument's beams crossing a plate: drawn, not loaded from a file.
  QPixmap pix(96, 64);
  pix.fill(Qt::white);
  QPainter p(&pix);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(40, 60, 120), 2));
  p.drawRoundedRect(4, 4, 88, 56, 6, 6);
  p.setPen(QPen(QColor(200, 40, 40), 1));
  for (int i = 0; i < 6; ++i) p.drawLine(8, 12 + i * 8, 88, 12 + i * 8);
  p.setBrush(QColor(40, 60, 120));
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 5; ++c) p.drawEllipse(QPointF(18 + c * 15, 16 + r * 16), 4, 4);
  return pix;
}

}  // namespace

Frm_Init::Frm_Init(Program& program, QWidget* parent) : QWidget(parent), program_(program) {
  setObjectName("Frm_Init");
  setWindowTitle("<Orbelune> Acquisition Software");
  auto* layout = new QVBoxLayout(this);

  auto* head = new QHBoxLayout;
  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setPixmap(Logo());
  Image1->installEventFilter(this);
  head->addWidget(Image1);
  auto* titles = new QVBoxLayout;
  auto* title = new QLabel("<b>Orbelune</b> Acquisition Software", this);
  titles->addWidget(title);
  Label_version = new QLabel(this);
  Label_version->setObjectName("Label_version");
  titles->addWidget(Label_version);
  head->addLayout(titles, 1);
  layout->addLayout(head);

  const char* captions[4] = {"Setup a New Project", "Run Latest Project", "Analyze recorded experiments", "EXIT"};
  for (int i = 0; i < 4; ++i) {
    auto* frame = new QFrame(this);
    frame->setObjectName(QString("frame_option%1").arg(i + 1));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    frame->setMouseTracking(true);
    frame->setCursor(Qt::PointingHandCursor);
    auto* row = new QHBoxLayout(frame);
    auto* shape = new QFrame(frame);  // the decorative shape beside the caption
    shape->setFixedSize(14, 14);
    shape->setStyleSheet("background: rgb(40,60,120); border-radius: 7px;");
    row->addWidget(shape);
    auto* label = new QLabel(captions[i], frame);
    label->setObjectName(QString("Label_option%1").arg(i + 1));
    label->setMouseTracking(true);
    QFont f = label->font();
    f.setPointSize(f.pointSize() + 3);
    label->setFont(f);
    row->addWidget(label, 1);
    frame->installEventFilter(this);
    label->installEventFilter(this);
    frame_option[i] = frame;
    Label_option[i] = label;
    layout->addWidget(frame);
  }
  highlightOption(-1);

  LblNews = new QLabel("Equipment Status = unknown", this);
  LblNews->setObjectName("LblNews");
  layout->addWidget(LblNews);
  Label1 = new QLabel("Orbelune instruments", this);
  Label1->setObjectName("Label1");
  Label1->installEventFilter(this);
  layout->addWidget(Label1, 0, Qt::AlignRight);
  resize(460, 380);

  // The chooser's own load.
  program_.connection.connected = false;
  Label_version->setText(kVersionText);
}

void Frm_Init::highlightOption(int index) {
  for (int i = 0; i < 4; ++i) {
    QPalette pal = frame_option[i]->palette();
    pal.setColor(QPalette::Window, i == index ? kHover : kPlain);
    frame_option[i]->setPalette(pal);
  }
  for (auto* f : frame_option) f->repaint();
}

QColor Frm_Init::optionColour(int index) const {
  return frame_option[index]->palette().color(QPalette::Window);
}

bool Frm_Init::eventFilter(QObject* watched, QEvent* event) {
  for (int i = 0; i < 4; ++i) {
    if (watched != frame_option[i] && watched != Label_option[i]) continue;
    if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove) highlightOption(i);
    if (event->type() == QEvent::MouseButtonRelease && isEnabled()) {
      Q_EMIT optionChosen(i);
      return true;
    }
  }
  if ((watched == Image1 || watched == Label1) && event->type() == QEvent::MouseButtonDblClick) {
    program_.launcher.openUrl(kWebSite);
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void Frm_Init::closeEvent(QCloseEvent* event) {
  // The chooser is hidden, never destroyed: closing it is the EXIT option.
  event->ignore();
  if (isEnabled()) Q_EMIT optionChosen(3);
}

void Frm_Init::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && program_.connection.connected)
    LblNews->setText("status: Connected in COM" + QString::number(program_.ws.config.Serial_COM));
  QWidget::changeEvent(event);
}

}  // namespace orb
