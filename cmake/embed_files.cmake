# Writes a C++ source that holds the bytes of the given files, so that the
# program can lay out a new data folder without looking for data/ on disk.
# Usage: cmake -DOUTPUT=out.cpp -DFILES="a|b" -P embed_files.cmake
string(REPLACE "|" ";" FILES "${FILES}")
set(body "")
set(table "")
set(index 0)
foreach(path IN LISTS FILES)
  get_filename_component(name "${path}" NAME)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" hexlen)
  math(EXPR size "${hexlen} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(APPEND body "const char kFile${index}[] = {${bytes} 0};\n")
  string(APPEND table "    {\"${name}\", std::string_view(kFile${index}, ${size})},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new"
"// Generated from data/ at build time.\n#include \"app/data_files.h\"\n\nnamespace orb {\nnamespace {\n${body}}  // namespace\n\nconst std::vector<EmbeddedFile>& EmbeddedDataFiles() {\n  static const std::vector<EmbeddedFile> files = {\n${table}  };\n  return files;\n}\n\n}  // namespace orb\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
