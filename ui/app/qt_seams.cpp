#include "ui/app/qt_seams.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QInputDialog>
#include <QMessageBox>
#include <QThread>
#include <QUrl>

namespace orb {
namespace {

QString ToQ(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

Answer QtOperator::ask(std::string_view text, Buttons buttons) {
  QMessageBox box(parent_);
  box.setWindowTitle(QCoreApplication::applicationName());
  box.setText(ToQ(text));
  switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  box.setIcon(buttons == Buttons::Ok ? QMessageBox::Information : QMessageBox::Question);
  switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok : Answer::Cancel;
  }
}

std::optional<std::string> QtOperator::input(std::string_view prompt, std::string_view title,
                                             std::string_view initial) {
  bool ok = false;
  QString text = QInputDialog::getText(parent_, ToQ(title), ToQ(prompt), QLineEdit::Normal, ToQ(initial), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}

void QtEventLoop::processEvents() { QCoreApplication::processEvents(); }

void QtEventLoop::sleepMs(int ms) {
  if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}

bool QtLauncher::openPath(const std::filesystem::path& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path.string())));
}

bool QtLauncher::openUrl(std::string_view url) { return QDesktopServices::openUrl(QUrl(ToQ(url))); }

}  // namespace orb
