# Installs the build in BUILD_DIR into the scratch prefix PREFIX and checks that exactly the
# files the package must hold are there: the three programs, the panel set and logo where the
# installed program looks for them, the menu entry with a program and an icon it names,
# gzipped man pages, the bash completion of velorax-cli and the copyright note.
#   cmake -DBUILD_DIR=<build> -DPREFIX=<scratch> -P check_install.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT BUILD_DIR OR NOT PREFIX)
  message(FATAL_ERROR "usage: cmake -DBUILD_DIR=<build> -DPREFIX=<scratch> -P check_install.cmake")
endif()

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}")
endif()

set(expected
  bin/velorax-scope
  bin/velorax-sim
  bin/velorax-cli
  share/velorax-scope/Velorax3KvtAnaV10.uir
  share/velorax-scope/logoOV.bmp
  share/applications/velorax-scope.desktop
  share/icons/hicolor/scalable/apps/velorax-scope.svg
  share/icons/hicolor/48x48/apps/velorax-scope.png
  share/icons/hicolor/128x128/apps/velorax-scope.png
  share/man/man1/velorax-scope.1.gz
  share/man/man1/velorax-sim.1.gz
  share/man/man1/velorax-cli.1.gz
  share/bash-completion/completions/velorax-cli
  lib/systemd/system/velorax-publish@.service
  share/doc/velorax-scope/examples/publish-example.conf
  share/doc/velorax-scope/copyright)

set(faults)
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE ${PREFIX} ${PREFIX}/*)
foreach(f IN LISTS expected)
  if(NOT f IN_LIST installed)
    list(APPEND faults "missing: ${f}")
  endif()
endforeach()
foreach(f IN LISTS installed)
  if(NOT f IN_LIST expected)
    list(APPEND faults "not meant to be installed: ${f}")
  endif()
endforeach()

foreach(program velorax-scope velorax-sim velorax-cli)
  if(EXISTS ${PREFIX}/bin/${program})
    file(READ ${PREFIX}/bin/${program} head LIMIT 4 HEX)
    if(NOT head STREQUAL "7f454c46")
      list(APPEND faults "bin/${program} is not an executable")
    endif()
    execute_process(COMMAND test -x ${PREFIX}/bin/${program} RESULT_VARIABLE notExecutable)
    if(notExecutable)
      list(APPEND faults "bin/${program} may not be run")
    endif()
  endif()
endforeach()

# The installed program loads these; a stale or wrong file would load and fail later.
get_filename_component(top ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
foreach(f Velorax3KvtAnaV10.uir logoOV.bmp)
  if(EXISTS ${PREFIX}/share/velorax-scope/${f})
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${top}/resources/${f}
                            ${PREFIX}/share/velorax-scope/${f} RESULT_VARIABLE differs)
    if(differs)
      list(APPEND faults "share/velorax-scope/${f} differs from resources/${f}")
    endif()
  endif()
endforeach()

foreach(page velorax-scope velorax-sim velorax-cli)
  set(gz ${PREFIX}/share/man/man1/${page}.1.gz)
  if(EXISTS ${gz})
    file(READ ${gz} magic LIMIT 2 HEX)
    if(NOT magic STREQUAL "1f8b")
      list(APPEND faults "share/man/man1/${page}.1.gz is not gzipped")
    endif()
  endif()
endforeach()

# The menu entry starts an installed program and names an installed icon.
set(desktop ${PREFIX}/share/applications/velorax-scope.desktop)
if(EXISTS ${desktop})
  file(STRINGS ${desktop} execLine REGEX "^Exec=")
  file(STRINGS ${desktop} iconLine REGEX "^Icon=")
  string(REGEX REPLACE "^Exec=([^ ]+).*" "\\1" exec "${execLine}")
  string(REGEX REPLACE "^Icon=" "" icon "${iconLine}")
  if(NOT exec OR NOT EXISTS ${PREFIX}/bin/${exec})
    list(APPEND faults "the menu entry starts '${exec}', which is not installed in bin")
  endif()
  file(GLOB icons ${PREFIX}/share/icons/hicolor/*/apps/${icon}.png
                  ${PREFIX}/share/icons/hicolor/*/apps/${icon}.svg)
  if(NOT icon OR NOT icons)
    list(APPEND faults "the menu entry names the icon '${icon}', which is not installed")
  endif()
endif()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "install tree in ${PREFIX}:\n  ${text}")
endif()
list(LENGTH installed count)
message(STATUS "install tree in ${PREFIX}: ${count} files, all in place")
