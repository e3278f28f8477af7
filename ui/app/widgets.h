// Small helpers the windows share: a core text as a Qt string, and widgets
// created under their documented names (objectName), by which tests and
// people find them.
#pragma once

#include <QLineEdit>
#include <QString>
#include <string>

namespace orb {

inline QString Q(const std::string& s) { return QString::fromStdString(s); }

template <typename W>
W* Named(W* w, const char* name) {
  w->setObjectName(name);
  return w;
}

inline QLineEdit* TextBox(QWidget* parent, const char* name, bool readOnly = false) {
  auto* e = Named(new QLineEdit(parent), name);
  e->setReadOnly(readOnly);
  return e;
}

}  // namespace orb
