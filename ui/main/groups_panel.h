// The groups panel of the main window: the well groups (the group list
// combogrup and the beams of the chosen group, lstgrup) and the report bin
// (combo_minutes under "Report bin (min):", and the Report menu's "User
// Defined BIN size", mn_userbin, checked when the report settings define
// their own bin).
#pragma once

#include <QObject>

class QAction;
class QBoxLayout;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QListWidget;
class QMenuBar;
class QWidget;

namespace orb {

struct BinSizeList;

class GroupsPanel : public QObject {
  Q_OBJECT
 public:
  // The widgets are created as children of `parent`, the menu item as the panel's.
  explicit GroupsPanel(QWidget* parent);

  // Where the window places the panel: the report bin in a row it shares
  // with the run's options, the groups in a row of their own.
  void addReportBinTo(QBoxLayout* row);
  QHBoxLayout* groups() const { return groups_; }
  void addMenu(QMenuBar* bar);

  // The bin list and its selection (the load sequence).
  void showBinSizes(const BinSizeList& bins);
  // The first group chosen and no beam listed (the load sequence).
  void showFirstGroup();
  // "User Defined BIN size" is checked: the end of a recording then makes
  // its report at once.
  bool userBin() const;

  // The group list and the well list, for the live pictures to wire.
  QComboBox* groupList() const { return combogrup; }
  QListWidget* wellList() const { return lstgrup; }

 private:
  QHBoxLayout* groups_ = nullptr;
  QLabel* reportBinLabel_ = nullptr;
  QComboBox* combo_minutes = nullptr;
  QComboBox* combogrup = nullptr;
  QListWidget* lstgrup = nullptr;
  QAction* mn_userbin = nullptr;
};

}  // namespace orb
