// orbelune-cli [--data DIR] project ...: the project editor's New, Save,
// Load and rename and its boxes, on the command line, through the same core
// functions as the editor window (setup/project_editor.h):
//
//   project new --name NAME [--plate CODE] [--from N] [--overwrite]
//   project set KEY=VALUE ... [--yes]
//   project load N
//   project rename NAME
//   project list
//
// Messages go to standard error, results to standard output.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace orb {

// `args` are the words after "project"; "--data DIR" may be among them.
// Exit codes: 0 done; 2 usage, a refused value or name, or a question no
// option answers; 3 no config.dat; 4 a folder or file could not be written;
// 7 the project named by --from or load does not exist.
int RunProject(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orb
