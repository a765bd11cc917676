# The layer check against copies of src/ with one fault planted in each: every fault fails the
# check with a line naming the file, and the tree as it is passes.
#   cmake -DVT_CHECK=cmake/check_layers.cmake -DVT_SRC=src -DVT_WORK=<scratch folder> -P check_layers_test.cmake
cmake_minimum_required(VERSION 3.25)

set(failures "")

# Copies src/ to a case's folder and applies its edits: "append FILE TEXT" adds a line to a file
# (made when missing), "drop FILE TEXT" takes a line out.
function(plant name)
  set(tree ${VT_WORK}/${name})
  file(REMOVE_RECURSE ${tree})
  file(COPY ${VT_SRC}/ DESTINATION ${tree})
  set(edits ${ARGN})
  while(edits)
    list(POP_FRONT edits verb file text)
    if(verb STREQUAL "append")
      file(APPEND ${tree}/${file} "${text}\n")
    else()
      file(READ ${tree}/${file} content)
      string(FIND "${content}" "${text}\n" at)
      if(at EQUAL -1)
        message(FATAL_ERROR "${name}: ${file} holds no line '${text}'")
      endif()
      string(REPLACE "${text}\n" "" content "${content}")
      file(WRITE ${tree}/${file} "${content}")
    endif()
  endwhile()
endfunction()

# Runs the check on a case's tree: it must pass (want empty) or fail with the line want.
function(expect name want)
  execute_process(COMMAND ${CMAKE_COMMAND} -DVT_SRC=${VT_WORK}/${name} -P ${VT_CHECK}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REGEX REPLACE "[ \n]+" " " said "${out}${err}")
  if(want STREQUAL "")
    if(NOT rc EQUAL 0)
      list(APPEND failures "${name}: a sound tree failed: ${said}")
    endif()
  elseif(rc EQUAL 0)
    list(APPEND failures "${name}: passed, but should have failed with '${want}'")
  else()
    string(FIND "${said}" "${want}" at)
    if(at EQUAL -1)
      list(APPEND failures "${name}: failed without '${want}': ${said}")
    endif()
  endif()
  set(failures ${failures} PARENT_SCOPE)
endfunction()

plant(sound)
expect(sound "")

# A platform test belongs to platform/ alone; there it is fine.
plant(win32_in_platform append platform/clock.cpp "#ifdef _WIN32\n#endif")
expect(win32_in_platform "")
plant(win32_in_site append site/site_sender.cpp "#if defined(_WIN32)\n#endif")
expect(win32_in_site "site/site_sender.cpp: a platform test (_WIN32) outside platform/")
plant(linux_in_history append history/history_store.cpp "#elif defined(__linux__)")
expect(linux_in_history "history/history_store.cpp: a platform test (__linux__) outside platform/")

# Upwards, from a source and from a header, and sideways within a layer.
plant(upward_source append serial/comm_port.cpp "#include \"ui/tester_dlg.h\"")
expect(upward_source "serial/comm_port.cpp: includes ui/tester_dlg.h, of a higher layer")
plant(upward_header append history/history_store.h "#include \"site/site_server.h\"")
expect(upward_header "history/history_store.h: includes site/site_server.h, of a higher layer")
plant(sideways append records/export.h "# include \"firmware/firmware_state.h\"")
expect(sideways "records/export.h: includes firmware/firmware_state.h, a folder beside its own")

# The unit's subsystems in their own order: the bench tests reach the update engine only through
# the small interface they declare, and a status reader that reached for the status files'
# class would run upwards.
plant(bench_tests_to_update append commands/unit_tests.cpp "#include \"update/status_updater.h\"")
expect(bench_tests_to_update "commands/unit_tests.cpp: includes update/status_updater.h, of a higher layer")
plant(reader_to_files append status/acquisition.cpp "#include \"records/status_files.h\"")
expect(reader_to_files "status/acquisition.cpp: includes records/status_files.h, of a higher layer")
plant(part_to_unit append firmware/program_load.cpp "#include \"unit/transponder.h\"")
expect(part_to_unit "firmware/program_load.cpp: includes unit/transponder.h, of a higher layer")

# Each outside library in its own folder only.
plant(sqlite_in_ui append ui/main_controls.cpp "#include <sqlite3.h>")
expect(sqlite_in_ui "ui/main_controls.cpp: includes sqlite3.h, which only history/ uses")
plant(libpq_in_history append history/history_store.cpp "#include <libpq-fe.h>")
expect(libpq_in_history "history/history_store.cpp: includes libpq-fe.h, which only site/ uses")
plant(pugixml_in_history append history/history_fields.h "#include <pugixml.hpp>")
expect(pugixml_in_history "history/history_fields.h: includes pugixml.hpp, which only records/ uses")

# A folder takes its place in the layers before anything is in it.
plant(new_folder append extra/helper.cpp "#include \"platform/clock.h\"")
expect(new_folder "extra/helper.cpp: the folder extra/ has no place in the layers")

if(failures)
  string(REPLACE ";" "\n  " text "${failures}")
  message(FATAL_ERROR "The layer check missed:\n  ${text}")
endif()
message(STATUS "The layer check caught every planted fault")
