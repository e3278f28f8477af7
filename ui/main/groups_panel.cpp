#include "ui/main/groups_panel.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>

#include "app/startup.h"
#include "ui/app/widgets.h"

namespace orb {

GroupsPanel::GroupsPanel(QWidget* parent) : QObject(parent) {
  reportBinLabel_ = new QLabel("Report bin (min):", parent);
  combo_minutes = Named(new QComboBox(parent), "combo_minutes");
  combo_minutes->setEditable(true);

  groups_ = new QHBoxLayout;
  combogrup = Named(new QComboBox(parent), "combogrup");
  lstgrup = Named(new QListWidget(parent), "lstgrup");
  lstgrup->setMaximumHeight(80);
  groups_->addWidget(combogrup);
  groups_->addWidget(lstgrup, 1);

  mn_userbin = Named(new QAction("User Defined BIN size", this), "mn_userbin");
  mn_userbin->setCheckable(true);
}

void GroupsPanel::addReportBinTo(QBoxLayout* row) {
  row->addWidget(reportBinLabel_);
  row->addWidget(combo_minutes);
}

void GroupsPanel::addMenu(QMenuBar* bar) { bar->addMenu("&Report")->addAction(mn_userbin); }

void GroupsPanel::showBinSizes(const BinSizeList& bins) {
  combo_minutes->clear();
  for (const auto& item : bins.items) combo_minutes->addItem(Q(item));
  combo_minutes->setCurrentIndex(bins.selected);
  mn_userbin->setChecked(bins.userDefined);
}

void GroupsPanel::showFirstGroup() {
  if (combogrup->count() > 0) combogrup->setCurrentIndex(0);
  lstgrup->clear();
}

bool GroupsPanel::userBin() const { return mn_userbin->isChecked(); }

}  // namespace orb
