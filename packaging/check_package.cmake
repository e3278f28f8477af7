# Builds the Debian package of this build folder into a scratch folder and
# checks what it holds: the programs, the desktop entry and its icon, the
# manual pages, the plate files, the documentation, and the dependencies
# declared for the Qt libraries the desktop program links.
#   cmake -DBUILD=<build folder> -DOUT=<scratch folder> -DUI=ON|OFF -P check_package.cmake
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
execute_process(COMMAND cpack -G DEB -B "${OUT}" --config "${BUILD}/CPackConfig.cmake"
                WORKING_DIRECTORY "${BUILD}" RESULT_VARIABLE rc OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cpack failed (${rc}):\n${log}")
endif()
file(GLOB debs "${OUT}/orbelune_*.deb")
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one orbelune_*.deb in ${OUT}, found: ${debs}\n${log}")
endif()
execute_process(COMMAND dpkg-deb -c ${debs} OUTPUT_VARIABLE contents RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dpkg-deb -c cannot read ${debs}")
endif()
execute_process(COMMAND dpkg-deb -f ${debs} Package Version Architecture Depends OUTPUT_VARIABLE fields)

set(expected
  ./usr/bin/orbelune-cli
  ./usr/share/man/man1/orbelune-cli.1
  ./usr/share/man/man1/orbelune.1
  ./usr/share/orbelune/k96f.dat
  ./usr/share/orbelune/k384.dat
  ./usr/share/orbelune/PLATES.md
  ./usr/share/doc/orbelune/README.md)
if(UI)
  list(APPEND expected
    ./usr/bin/orbelune
    ./usr/share/applications/orbelune.desktop
    ./usr/share/icons/hicolor/scalable/apps/orbelune.svg)
endif()
if(UI)
  # The user guide is laid out by a Qt tool built with the desktop program.
  list(APPEND expected
    ./usr/share/doc/orbelune/orb_help.pdf
    ./usr/share/doc/orbelune/orb_help.html
    ./usr/share/doc/orbelune/guide.md
    ./usr/share/doc/orbelune/images/browser.png)
endif()
set(missing)
foreach(path IN LISTS expected)
  string(REPLACE "." "\\." pattern "${path}")
  if(NOT contents MATCHES " ${pattern}\n")
    list(APPEND missing "${path}")
  endif()
endforeach()
# Nothing outside /usr, and no build-tree or test leftovers.
string(REGEX MATCHALL " \\./[^\n]*" all "${contents}")
foreach(entry IN LISTS all)
  string(STRIP "${entry}" path)
  if(NOT path MATCHES "^\\./(usr/?.*)?$" OR path MATCHES "tests|CMakeFiles|\\.a$")
    list(APPEND missing "unexpected ${path}")
  endif()
endforeach()
if(NOT fields MATCHES "Package: orbelune\n")
  list(APPEND missing "Package field")
endif()
if(UI AND NOT fields MATCHES "libqt6widgets6")
  list(APPEND missing "Depends on libqt6widgets6")
endif()
if(missing)
  message(FATAL_ERROR "${debs}: ${missing}\n${contents}\n${fields}")
endif()
message(STATUS "${debs} holds what it should:\n${fields}")
