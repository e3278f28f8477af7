#include "browser/experiment_list.h"

#include <algorithm>
#include <optional>

#include "app/project_files.h"
#include "browser/acquisition_ref.h"
#include "common/encoding.h"
#include "common/fileio.h"
#include "common/seams.h"
#include "records/record_files.h"

namespace orb {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxFilterTerms = 10;

// Sub-folder names of `folder` that `keep` accepts, in sorted name order.
template <class Keep>
std::vector<std::string> SortedSubfolders(const fs::path& folder, Keep&& keep) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_directory(typeError)) continue;
    std::string name = it->path().filename().string();
    if (keep(name)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Windows-1252 letter folding: A-Z, the accented capitals and the four
// capitals of the 0x80 row become their small letters.
unsigned char FoldCp1252(unsigned char b) {
  if (b >= 'A' && b <= 'Z') return static_cast<unsigned char>(b + 32);
  if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return static_cast<unsigned char>(b + 32);
  switch (b) {
    case 0x8A: return 0x9A;  // Š
    case 0x8C: return 0x9C;  // Œ
    case 0x8E: return 0x9E;  // Ž
    case 0x9F: return 0xFF;  // Ÿ
    default: return b;
  }
}

// Folds `bytes` letter by letter: Windows-1252 bytes whole, UTF-8 on its
// ASCII letters only.
std::string Folded(std::string bytes, bool cp1252) {
  for (char& ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (cp1252 || b < 0x80) ch = static_cast<char>(FoldCp1252(b));
  }
  return bytes;
}

}  // namespace

// ---- line texts ------------------------------------------------------------

std::string ProjectLineText(const std::string& firstAcquisition, const std::string& projectFolder,
                            const std::string& projectName) {
  const std::string date =
      firstAcquisition.size() >= 8 ? firstAcquisition.substr(0, 4) + "." + firstAcquisition.substr(4, 4)
                                   : std::string(8, ' ');
  return "+ " + date + "\t" + projectFolder + "_" + projectName;
}

std::string AcquisitionLineText(const std::string& folder, const std::string& subprojectName) {
  if (folder.size() < 13) return "  > " + folder + "\t ACQ \"" + subprojectName + "\"";
  return "  > " + folder.substr(0, 4) + "." + folder.substr(4, 4) + "\t ACQ" + folder.substr(9, 2) + ":" +
         folder.substr(11, 2) + " \"" + subprojectName + "\"";
}

std::string AcquisitionFolderFromLine(const std::string& line) {
  const auto arrow = line.find('>');
  if (arrow == std::string::npos || arrow + 6 > line.size()) return {};
  const std::string year = line.substr(arrow + 2, 4);
  const auto dot = line.find('.');
  const auto acq = line.find("ACQ");
  if (dot == std::string::npos || acq == std::string::npos || dot + 5 > line.size()) return {};
  const auto colon = line.find(':', acq);
  if (colon == std::string::npos || acq + 5 > line.size() || colon + 3 > line.size()) return {};
  return year + line.substr(dot + 1, 4) + "_" + line.substr(acq + 3, 2) + line.substr(colon + 1, 2);
}

std::string ProjectNameFromTitle(const std::string& title) {
  const auto colon = title.find(": ");
  return colon == std::string::npos ? title : title.substr(colon + 2);
}

std::vector<std::string> SplitFilterTerms(const std::string& text) {
  std::vector<std::string> terms;
  std::string term;
  bool quoted = false;
  auto close = [&] {
    if (!term.empty() && terms.size() < kMaxFilterTerms) terms.push_back(term);
    term.clear();
  };
  for (char ch : text) {
    if (ch == '"') {
      quoted = !quoted;
    } else if (ch == ' ' && !quoted) {
      close();
    } else {
      term += ch;
    }
  }
  close();
  return terms;
}

bool ContainsIgnoringCase(std::string_view text, std::string_view term) {
  // Compared in Windows-1252 when both can be held in it (the accented
  // letters fold too), else in UTF-8 with the ASCII letters folded.
  const auto text1252 = Utf8ToCp1252(text);
  const auto term1252 = Utf8ToCp1252(term);
  if (text1252 && term1252) return Folded(*text1252, true).find(Folded(*term1252, true)) != std::string::npos;
  return Folded(std::string(text), false).find(Folded(std::string(term), false)) != std::string::npos;
}

// ---- folders -----------------------------------------------------------------

std::vector<std::string> ListProjectFolders(const fs::path& programFolder) {
  return SortedSubfolders(programFolder, [](const std::string& name) { return IsProjectFolderName(name); });
}

std::vector<std::string> ListAcquisitionFolders(const fs::path& projectFolder) {
  return SortedSubfolders(projectFolder, [&](const std::string& name) {
    return IsAcquisitionFolderName(name) && FileExists(projectFolder / name / kCountsFile);
  });
}

// ---- the list ----------------------------------------------------------------

void ExperimentList::load(const fs::path& programFolder, Operator& op) {
  programFolder_ = programFolder;
  op_ = &op;
  descending_ = false;
  filterActive_ = false;
  filterText_.clear();
  matched_.clear();
  selection_ = {};
  projects_.clear();
  readProjectTable();
  rebuild();
}

void ExperimentList::readProjectTable() {
  std::vector<Project> table;
  for (const auto& folder : ListProjectFolders(programFolder_)) {
    if (!FileExists(programFolder_ / folder / "setup.dat")) continue;
    table.push_back({folder, expanded(folder)});
  }
  projects_ = std::move(table);
}

std::vector<std::string> ExperimentList::texts() const {
  std::vector<std::string> out;
  out.reserve(lines_.size());
  for (const auto& l : lines_) out.push_back(l.text);
  return out;
}

const ListLine* ExperimentList::line(int index) const {
  if (index < 0 || index >= static_cast<int>(lines_.size())) return nullptr;
  return &lines_[static_cast<std::size_t>(index)];
}

ExperimentList::ProjectView ExperimentList::viewProject(const std::string& folder) const {
  ProjectView view;
  const fs::path path = programFolder_ / folder;
  if (!FileExists(path / "setup.dat")) return view;
  view.listed = true;
  view.acquisitions = ListAcquisitionFolders(path);
  const std::string name = ProjectNameFromTitle(ReadProjectSummary(path, *op_));
  view.line = ProjectLineText(view.acquisitions.empty() ? std::string() : view.acquisitions.front(), folder, name);
  return view;
}

ListLine ExperimentList::acquisitionLine(const std::string& projectFolder, const std::string& acquisition) const {
  const fs::path path = programFolder_ / projectFolder / acquisition;
  return {LineKind::Acquisition, AcquisitionLineText(acquisition, ReadSubprojectName(path)), projectFolder,
          acquisition, path};
}

bool ExperimentList::passesFilter(const std::string& folder) const {
  return !filterActive_ || matched_.count(folder) > 0;
}

void ExperimentList::rebuild() {
  lines_.clear();
  std::vector<std::size_t> order(projects_.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  if (descending_) std::reverse(order.begin(), order.end());
  for (std::size_t i : order) {
    const Project& p = projects_[i];
    if (!passesFilter(p.folder)) continue;
    ProjectView view = viewProject(p.folder);
    if (!view.listed) continue;
    lines_.push_back({LineKind::Project, view.line, p.folder, {}, programFolder_ / p.folder});
    if (!p.expanded) continue;
    if (descending_) std::reverse(view.acquisitions.begin(), view.acquisitions.end());
    for (const auto& acquisition : view.acquisitions) lines_.push_back(acquisitionLine(p.folder, acquisition));
  }
}

void ExperimentList::select(int index) {
  const ListLine* l = line(index);
  if (!l) return;
  selection_.kind = l->text.rfind("+", 0) == 0 ? LineKind::Project : LineKind::Acquisition;
  selection_.projectFolder = l->projectFolder;
  selection_.acquisitionFolder = l->acquisitionFolder;
  if (selection_.kind == LineKind::Project) selection_.lastProjectFolder = l->projectFolder;
}

int ExperimentList::selectedIndex() const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const ListLine& l = lines_[i];
    if (l.kind == selection_.kind && l.projectFolder == selection_.projectFolder &&
        l.acquisitionFolder == selection_.acquisitionFolder && !l.projectFolder.empty())
      return static_cast<int>(i);
  }
  return -1;
}

int ExperimentList::reselect(const std::string& projectFolder, const std::string& acquisitionFolder) {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].projectFolder == projectFolder && lines_[i].acquisitionFolder == acquisitionFolder) {
      select(static_cast<int>(i));
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool ExperimentList::expanded(const std::string& projectFolder) const {
  for (const auto& p : projects_)
    if (p.folder == projectFolder) return p.expanded;
  return false;
}

void ExperimentList::expandAll() {
  for (auto& p : projects_) p.expanded = true;
  rebuild();
}

int ExperimentList::countShownProjects() const {
  return static_cast<int>(
      std::count_if(lines_.begin(), lines_.end(), [](const ListLine& l) { return l.kind == LineKind::Project; }));
}

int ExperimentList::toggleExpanded(int index) {
  const ListLine* l = line(index);
  if (!l || l->kind != LineKind::Project) return selectedIndex();
  const std::string folder = l->projectFolder;
  int number = 0;  // the project's place in the table, from 1
  for (std::size_t i = 0; i < projects_.size(); ++i) {
    if (projects_[i].folder != folder) continue;
    projects_[i].expanded = !projects_[i].expanded;
    number = static_cast<int>(i) + 1;
  }
  select(index);
  rebuild();
  const auto expected = std::count_if(projects_.begin(), projects_.end(),
                                      [&](const Project& p) { return passesFilter(p.folder); });
  if (countShownProjects() < expected) {
    op_->inform("ERROR:#pj" + std::to_string(projects_.size()) + ">" + std::to_string(number));
    return hideSubfolders();
  }
  return reselect(folder, {});
}

std::string ExperimentList::toggleOrder() {
  descending_ = !descending_;
  rebuild();
  return orderMarker();
}

int ExperimentList::applyFilter(const std::string& text) {
  if (text.find_first_not_of(' ') == std::string::npos) return hideSubfolders();
  const std::vector<std::string> terms = SplitFilterTerms(text);
  if (terms.empty()) return selectedIndex();
  filterText_ = text;
  filterActive_ = false;
  matched_.clear();
  for (const auto& term : terms) {
    rebuild();
    std::set<std::string> matched;
    for (const ListLine& l : lines_) {
      if (l.kind != LineKind::Project) continue;
      bool match = ContainsIgnoringCase(l.text, term);
      for (const auto& acquisition : match ? std::vector<std::string>{} : ListAcquisitionFolders(l.path)) {
        if (ContainsIgnoringCase(acquisitionLine(l.projectFolder, acquisition).text, term)) {
          match = true;
          break;
        }
      }
      if (match) matched.insert(l.projectFolder);
    }
    matched_ = std::move(matched);
    filterActive_ = true;
    rebuild();
  }
  return selectedIndex();
}

int ExperimentList::hideSubfolders() {
  filterActive_ = false;
  filterText_.clear();
  matched_.clear();
  for (auto& p : projects_) p.expanded = false;
  readProjectTable();
  rebuild();
  if (selection_.lastProjectFolder.empty()) return -1;
  return reselect(selection_.lastProjectFolder, {});
}

fs::path ExperimentList::openAcquisition(int index) {
  const ListLine* l = line(index);
  if (!l || l->kind != LineKind::Acquisition) return {};
  select(index);
  selection_.loadedAcquisition = programFolder_ / l->projectFolder / AcquisitionFolderFromLine(l->text);
  return selection_.loadedAcquisition;
}

}  // namespace orb
