# The layers of the core, checked on every build: a file of src/ includes headers of its own
# folder and of folders in lower layers only, never of its own layer's other folders or of a
# higher one. Run as a script:
#   cmake -DVT_SRC=<the src folder> [-DVT_STAMP=<file to touch when sound>] -P check_layers.cmake
# It prints every include that breaks the rule and fails. docs/design.md ("The rule between
# them") draws the map.

# Lowest first; the folders of one entry are one layer, side by side.
set(VT_LAYERS
    "platform"
    "serial"
    "status"
    "records firmware quickset"
    "commands"
    "update"
    "unit"
    "history"
    "site"
    "ui"
    "app")

# The libraries each have one home: an include of one of these anywhere else is a fault.
set(VT_LIBRARY_HOMES
    "pugixml.hpp=records"
    "sqlite3.h=history"
    "libpq-fe.h=site")

cmake_minimum_required(VERSION 3.25)

if(NOT VT_SRC)
  message(FATAL_ERROR "check_layers.cmake: give the src folder as -DVT_SRC=...")
endif()

set(rank 0)
foreach(layer IN LISTS VT_LAYERS)
  string(REPLACE " " ";" folders "${layer}")
  foreach(folder IN LISTS folders)
    set(rank_${folder} ${rank})
  endforeach()
  math(EXPR rank "${rank} + 1")
endforeach()

set(faults "")
file(GLOB_RECURSE files RELATIVE ${VT_SRC} ${VT_SRC}/*.cpp ${VT_SRC}/*.h)
list(SORT files)
foreach(file IN LISTS files)
  string(REGEX MATCH "^[^/]+" folder "${file}")
  if(file STREQUAL folder)
    list(APPEND faults "${file}: a file outside the folders of src/")
    continue()
  endif()
  if(NOT DEFINED rank_${folder})
    list(APPEND faults "${file}: the folder ${folder}/ has no place in the layers (cmake/check_layers.cmake, docs/design.md)")
    continue()
  endif()
  file(STRINGS ${VT_SRC}/${file} lines REGEX "^[ \t]*#[ \t]*(include|if|elif)")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*#[ \t]*(if|elif).*(_WIN32|__linux__|__APPLE__|__unix__|_MSC_VER|__MINGW)"
       AND NOT folder STREQUAL "platform")
      list(APPEND faults "${file}: a platform test (${CMAKE_MATCH_2}) outside platform/")
    endif()
    if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"]")
      continue()
    endif()
    set(header "${CMAKE_MATCH_1}")
    foreach(home IN LISTS VT_LIBRARY_HOMES)
      string(REPLACE "=" ";" pair "${home}")
      list(GET pair 0 library_header)
      list(GET pair 1 library_folder)
      if(header STREQUAL library_header AND NOT folder STREQUAL library_folder)
        list(APPEND faults "${file}: includes ${header}, which only ${library_folder}/ uses")
      endif()
    endforeach()
    if(NOT header MATCHES "^([^/]+)/")
      continue()
    endif()
    set(to "${CMAKE_MATCH_1}")
    if(to STREQUAL folder OR NOT EXISTS ${VT_SRC}/${to})
      continue()  # its own folder, or a header from outside src/ (generated, system)
    endif()
    if(NOT DEFINED rank_${to})
      list(APPEND faults "${file}: includes ${header}, of a folder with no place in the layers")
      continue()
    endif()
    if(rank_${to} LESS rank_${folder})
      continue()
    endif()
    if(rank_${to} EQUAL rank_${folder})
      list(APPEND faults "${file}: includes ${header}, a folder beside its own in the same layer")
    else()
      list(APPEND faults "${file}: includes ${header}, of a higher layer")
    endif()
  endforeach()
endforeach()

if(faults)
  list(LENGTH faults count)
  string(REPLACE ";" "\n  " text "${faults}")
  message(FATAL_ERROR "The layers of src/ are broken (${count}):\n  ${text}\n"
                      "A file includes only its own folder and lower layers (docs/design.md, \"The rule between them\").")
endif()
if(VT_STAMP)
  file(TOUCH ${VT_STAMP})
endif()
