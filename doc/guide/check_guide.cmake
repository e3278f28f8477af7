# Checks the user guide against the program it describes:
#  - every caption the guide prints in bold (**Start**, **Advanced > Analyze
#    Raw Data**) is a caption of the windows' sources, so that a renamed
#    button or menu item cannot leave the guide naming what is not there;
#  - every picture it shows exists, stays under 150 KB, and every picture of
#    images/ is shown (no stale picture is installed);
#  - orbelune-guide-pdf lays the guide out as a PDF of several pages, and
#    refuses a guide whose picture is missing or whose text the Markdown
#    reader loses.
# -DGUIDE=doc/guide/guide.md -DUI=ui -DTOOL=orbelune-guide-pdf -DWORK=folder
cmake_minimum_required(VERSION 3.25)
file(READ "${GUIDE}" guide)
get_filename_component(guide_dir "${GUIDE}" DIRECTORY)
set(problems)

# Captions: the string literals of the windows, accelerator marks removed.
file(GLOB_RECURSE ui_sources "${UI}/*.cpp" "${UI}/*.h")
set(captions "")
foreach(source IN LISTS ui_sources)
  file(READ "${source}" text)
  string(APPEND captions "${text}")
endforeach()
string(REPLACE "&" "" captions "${captions}")
string(REGEX MATCHALL "\\*\\*[^*\n]+\\*\\*" bold "${guide}")
list(LENGTH bold bold_count)
if(bold_count LESS 40)
  list(APPEND problems "only ${bold_count} captions in bold; the check reads **...**")
endif()
foreach(entry IN LISTS bold)
  string(REGEX REPLACE "^\\*\\*(.*)\\*\\*$" "\\1" caption "${entry}")
  string(REPLACE " > " ";" parts "${caption}")
  foreach(part IN LISTS parts)
    string(FIND "${captions}" "\"${part}" at)
    if(at EQUAL -1)
      list(APPEND problems "caption not in the windows: ${part}")
    endif()
  endforeach()
endforeach()

# Pictures.
string(REGEX MATCHALL "!\\[[^]]*\\]\\([^)]+\\)" pictures "${guide}")
set(shown)
foreach(picture IN LISTS pictures)
  string(REGEX REPLACE "^.*\\(([^)]+)\\)$" "\\1" path "${picture}")
  list(APPEND shown "${path}")
  if(NOT EXISTS "${guide_dir}/${path}")
    list(APPEND problems "missing picture ${path}")
  else()
    file(SIZE "${guide_dir}/${path}" size)
    if(size GREATER 153600)
      list(APPEND problems "picture over 150 KB: ${path} (${size} bytes)")
    endif()
  endif()
endforeach()
file(GLOB stored RELATIVE "${guide_dir}" "${guide_dir}/images/*.png")
foreach(path IN LISTS stored)
  if(NOT path IN_LIST shown)
    list(APPEND problems "picture never shown: ${path}")
  endif()
endforeach()

# The PDF.
file(MAKE_DIRECTORY "${WORK}")
set(pdf "${WORK}/guide_check.pdf")
file(REMOVE "${pdf}")
execute_process(COMMAND "${TOOL}" "${GUIDE}" "${pdf}" RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(NOT rc EQUAL 0 OR NOT EXISTS "${pdf}")
  list(APPEND problems "orbelune-guide-pdf failed on the guide (${rc})")
else()
  file(READ "${pdf}" head LIMIT 5)
  file(STRINGS "${pdf}" pages REGEX "/Type /Page$")
  list(LENGTH pages page_count)
  if(NOT head MATCHES "^%PDF-" OR page_count LESS 10)
    list(APPEND problems "the guide's PDF is not a PDF of 10 pages or more (${page_count} pages)")
  endif()
endif()
set(broken "${WORK}/broken_guide.md")
file(WRITE "${broken}" "# Broken\n\n![gone](images/not-there.png)\n")
execute_process(COMMAND "${TOOL}" "${broken}" "${WORK}/broken.pdf" RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(rc EQUAL 0)
  list(APPEND problems "orbelune-guide-pdf accepted a guide whose picture is missing")
endif()
# A word in angle brackets is read as an HTML tag and the text after it can
# be lost: the tool must refuse such a guide rather than print half of it.
file(WRITE "${broken}" "# Lost\n\nGo to <Setup> and save.\n\n## Next chapter\n\nText.\n")
execute_process(COMMAND "${TOOL}" "${broken}" "${WORK}/broken.pdf" RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(rc EQUAL 0)
  list(APPEND problems "orbelune-guide-pdf accepted a guide whose text after <Setup> is lost")
endif()

if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "The user guide:\n  ${text}")
endif()
