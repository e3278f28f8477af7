// The recorded-experiments list of the browser (Listpj), without its window:
// the project folders of the data folder as a tree of text lines, project
// lines with their acquisitions below them, sorted by date either way,
// narrowed by a filter, with the selection the window keeps.
//
// Directory listings are taken in sorted name order, so the list is the same
// on every file system (the project table is "the order of the listing").
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace orb {

class Operator;

// ---- line texts ------------------------------------------------------------

// "+ " + yyyy.mmdd of the first (oldest) acquisition, or 8 blanks when the
// project has none, TAB, folder, "_", project name.
std::string ProjectLineText(const std::string& firstAcquisition, const std::string& projectFolder,
                            const std::string& projectName);
// "  > " + yyyy.mmdd + TAB + " ACQ" + hh:mm + " " + quoted subproject name;
// 20240131_1405 named "Growth" gives "  > 2024.0131\t ACQ14:05 \"Growth\"".
std::string AcquisitionLineText(const std::string& acquisitionFolder, const std::string& subprojectName);
// The acquisition folder name rebuilt from an acquisition line: the 4
// characters after "> ", the 4 after the first ".", "_", the 2 after "ACQ"
// and the 2 after the ":" that follows. Empty when the line is not one.
std::string AcquisitionFolderFromLine(const std::string& line);
// The project name in a project title ("<Project> p00001: Name" gives
// "Name"): the text after the first ": ", the whole title when it has none.
std::string ProjectNameFromTitle(const std::string& title);

// The terms of a filter text, at most 10: blanks separate terms outside
// double quotes; a quoted part keeps its blanks; quotes are dropped; empty
// terms are left out. "\"a b\" c" gives "a b" and "c".
std::vector<std::string> SplitFilterTerms(const std::string& text);
// Whether `term` occurs in `text` ignoring letter case (the letters of
// Windows-1252 included: "É" matches "é").
bool ContainsIgnoringCase(std::string_view text, std::string_view term);

// ---- the list ----------------------------------------------------------------

enum class LineKind { Project, Acquisition };

struct ListLine {
  LineKind kind = LineKind::Project;
  std::string text;               // as shown, UTF-8
  std::string projectFolder;      // "p00001"
  std::string acquisitionFolder;  // "20240131_1405"; empty on a project line
  std::filesystem::path path;     // the project folder, or the acquisition folder
};

// The selection the window keeps: the kind of the clicked line, its project
// and acquisition, the acquisition opened by the last double click, and the
// last project line clicked.
struct ListSelection {
  LineKind kind = LineKind::Project;
  std::string projectFolder;
  std::string acquisitionFolder;
  std::filesystem::path loadedAcquisition;  // set by openAcquisition
  std::string lastProjectFolder;
};

class ExperimentList {
 public:
  // "Load": the project table (project folders "p" + five characters that
  // hold setup.dat), all collapsed, ascending, no filter; builds the list.
  // `op` receives the messages of a setup.dat recovered while the list is
  // built; it must outlive the list.
  void load(const std::filesystem::path& programFolder, Operator& op);

  const std::filesystem::path& programFolder() const { return programFolder_; }
  const std::vector<ListLine>& lines() const { return lines_; }
  std::vector<std::string> texts() const;
  // The line at `index`, or nullptr outside the list.
  const ListLine* line(int index) const;
  // Number of projects in the table.
  int projectCount() const { return static_cast<int>(projects_.size()); }

  // Builds the list again from the disk (names, acquisitions, subproject
  // names): each project in the table, ascending or descending, kept only
  // when it passes the filter; below an expanded project its acquisitions
  // (folders with counts.bin), in the same order. The selection follows its
  // line.
  void rebuild();

  // A click: selects the line (an acquisition unless the line starts "+").
  void select(int index);
  const ListSelection& selection() const { return selection_; }
  // Index of the selected line in the current list, -1 when it is not shown.
  int selectedIndex() const;

  // Double click on a project line: its expanded flag is inverted and the
  // list rebuilt. Returns the line to select (the project's), or -1. When
  // the rebuilt list misses projects it should show (a project folder or
  // its setup.dat vanished meanwhile), "ERROR:#pj" + project count + ">" +
  // the project's number in the table is shown and the list reset as by
  // hideSubfolders (whose result is returned). The window then disables
  // "Channel Signal" and "Analyze", enables "[Group Activity]" and shows the
  // report button disabled as "[ REPORT ]".
  int toggleExpanded(int index);
  bool expanded(const std::string& projectFolder) const;
  // Expands every project (the command line's --expand).
  void expandAll();

  // "Date": inverts the order and rebuilds; returns the marker now shown.
  std::string toggleOrder();
  bool descending() const { return descending_; }
  // lbl_orden: "^" ascending, "v" descending.
  std::string orderMarker() const { return descending_ ? "v" : "^"; }

  // "Apply": an empty text (blanks only) acts as hideSubfolders. Otherwise,
  // starting from the unfiltered list, term after term: the projects shown
  // are marked when the term occurs in their line or in the line of any of
  // their acquisitions (expanded or not), ignoring case, and only marked
  // projects stay. Acquisition lines are not filtered themselves: an
  // expanded project that stays shows all its acquisitions. Returns the line
  // to select, or -1.
  int applyFilter(const std::string& text);
  bool filterActive() const { return filterActive_; }
  const std::string& filterText() const { return filterText_; }

  // "> Hide subfolders": filter off, all collapsed, the project table read
  // again, list rebuilt; returns the line of the last selected project (now
  // selected), or -1.
  int hideSubfolders();

  // Double click on an acquisition line: it becomes the loaded acquisition;
  // returns its folder (empty on a project line).
  std::filesystem::path openAcquisition(int index);

  // Selects the line showing this project (and acquisition, when given),
  // returns its index or -1. Used after a rebuild that changed line texts.
  int reselect(const std::string& projectFolder, const std::string& acquisitionFolder);

 private:
  struct Project {
    std::string folder;
    bool expanded = false;
  };
  struct ProjectView {
    bool listed = false;  // holds setup.dat
    std::string line;
    std::vector<std::string> acquisitions;  // ascending name order, with counts.bin
  };
  ProjectView viewProject(const std::string& folder) const;
  ListLine acquisitionLine(const std::string& projectFolder, const std::string& acquisition) const;
  void readProjectTable();
  bool passesFilter(const std::string& folder) const;
  int countShownProjects() const;

  std::filesystem::path programFolder_;
  Operator* op_ = nullptr;
  std::vector<Project> projects_;
  std::vector<ListLine> lines_;
  bool descending_ = false;
  bool filterActive_ = false;
  std::string filterText_;
  std::set<std::string> matched_;  // project folders kept by the filter
  ListSelection selection_;
};

// The project folders of the data folder ("p" + five characters), sorted,
// whether or not they hold setup.dat.
std::vector<std::string> ListProjectFolders(const std::filesystem::path& programFolder);
// The acquisition folders of a project folder (yyyymmdd_hhmm) that hold
// counts.bin, in ascending name order.
std::vector<std::string> ListAcquisitionFolders(const std::filesystem::path& projectFolder);

}  // namespace orb
