# Installs the build tree into a fresh prefix, builds the same sources again as
# the other kind of library (static when the tree is shared, and the other way
# round) and installs that too; then, against each install, builds and runs a
# small consumer with find_package(kuvanaTools) and with pkg-config, and the
# programs of examples/ with pkg-config, checking what they print.
# Arguments: BUILD_DIR, SHARED (the tree's BUILD_SHARED_LIBS), PROJECT_DIR,
# SOURCE_DIR (the consumer), EXAMPLES_DIR, WORK_DIR, OTHER_BUILD_DIR,
# BUILD_TYPE, C_COMPILER, CXX_COMPILER, GENERATOR, PKG_CONFIG, SANITIZE (the
# -fsanitize list with commas, or "").
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "failed (${status}): ${command}\n${out}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

set(flags "")
if(SANITIZE)
  set(flags "-fsanitize=${SANITIZE}")
endif()
separate_arguments(san_flags UNIX_COMMAND "${flags}")

# Each example: its name, the regular expressions its output must match (a
# list), then its arguments.
set(example_digest "md5  900150983cd24fb0d6963f7d28e17f72\nsha1 a9993e364706816aba3e25717850c26c9cd0d89d\n")
set(example_protocolinfo_match "normalised http-get:\\*:audio/mpeg:DLNA.ORG_PN=MP3.DLNA.ORG_OP=01\n"
                               "plays via entry 2 of 3\n")
set(example_config_value "^network/port = 8200 \\(as a number: 8200\\)\n$")
set(example_config_value_args ${EXAMPLES_DIR}/box.ini network port)
set(example_rfc1123_date "now      [A-Z][a-z][a-z], [0-3][0-9] [A-Z][a-z][a-z] [0-9][0-9][0-9][0-9] [0-9:]+ GMT\n"
                         "format   Sun, 06 Nov 1994 08:49:37 GMT\n"
                         "parse    1994-11-06 08:49:37 UTC: round trip ok\n")

function(check_install prefix kind)
  set(tool_files "")
  if(EXISTS ${prefix}/bin/kuvana)
    set(tool_files share/man/man1/kuvana.1 share/bash-completion/completions/kuvana)
  endif()
  foreach(present include/kuvanaTools/kuvanaTools.h include/kuvanaTools/kuURI.h
          include/kuLog/Log.h include/platform/kuOS.h share/doc/kuvanaTools/LICENSE ${tool_files})
    if(NOT EXISTS ${prefix}/${present})
      message(FATAL_ERROR "${kind}: not installed: ${present}")
    endif()
  endforeach()
  if(EXISTS ${prefix}/include/kuvanaTools/private)
    message(FATAL_ERROR "${kind}: the private headers were installed")
  endif()
  file(GLOB_RECURSE pc_files ${prefix}/*/kuvanaTools.pc)
  file(GLOB_RECURSE config_files ${prefix}/*/kuvanaToolsConfig.cmake)
  if(NOT pc_files OR NOT config_files)
    message(FATAL_ERROR "${kind}: kuvanaTools.pc or kuvanaToolsConfig.cmake missing")
  endif()
  list(GET pc_files 0 pc_file)
  get_filename_component(pc_dir ${pc_file} DIRECTORY)
  get_filename_component(libdir ${pc_dir} DIRECTORY)
  set(work ${WORK_DIR}/${kind})

  # 1. CMake package.
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${work}/cmake -G ${GENERATOR}
      -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${C_COMPILER}
      "-DCMAKE_C_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
  run(${CMAKE_COMMAND} --build ${work}/cmake)
  run(${work}/cmake/consumer)
  message(STATUS "${kind}: find_package consumer: ${last_output}")

  # 2. pkg-config (--static for the archives' own needs), the shared library
  # found through LD_LIBRARY_PATH.
  set(pc_static "")
  if(kind STREQUAL "static")
    set(pc_static --static)
  endif()
  run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir} ${PKG_CONFIG} ${pc_static} --cflags --libs
      kuvanaTools)
  separate_arguments(pc_flags UNIX_COMMAND "${last_output}")
  foreach(program ${SOURCE_DIR}/consumer.c ${EXAMPLES_DIR}/digest.c
          ${EXAMPLES_DIR}/protocolinfo_match.c ${EXAMPLES_DIR}/config_value.c
          ${EXAMPLES_DIR}/rfc1123_date.c)
    get_filename_component(name ${program} NAME_WE)
    run(${C_COMPILER} -std=c99 -pedantic -Wall -Wextra -Werror ${san_flags} ${program} ${pc_flags}
        -o ${work}/${name})
    run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${libdir} ${work}/${name} ${example_${name}_args})
    foreach(expected ${example_${name}})
      if(NOT last_output MATCHES "${expected}")
        message(FATAL_ERROR "${kind}: ${name} printed\n${last_output}\nnot matching\n${expected}")
      endif()
    endforeach()
  endforeach()
  message(STATUS "${kind}: pkg-config consumer and examples ran")

  # 3. The installed tool finds the installed libraries and examples by
  # itself, from any directory.
  if(EXISTS ${prefix}/bin/kuvana)
    run(${CMAKE_COMMAND} -E chdir ${WORK_DIR} ${prefix}/bin/kuvana demo)
    if(NOT last_output MATCHES "${kind}/share/kuvanaTools/examples/renderer-sink.txt: 428 sink")
      message(FATAL_ERROR "the installed demo did not use the installed examples:\n${last_output}")
    endif()
    message(STATUS "${kind}: installed tool: the demo runs")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
if(SHARED)
  set(kinds shared static)
  set(other OFF)
else()
  set(kinds static shared)
  set(other ON)
endif()
list(GET kinds 0 this_kind)
list(GET kinds 1 other_kind)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/${this_kind})

# The other kind: the library and the tool only, in a tree kept between runs
# so that a second run builds nothing. A sanitizer build checks its own kind
# only: the plain build checks both, and a second sanitized library build
# would double the test's time for nothing more.
if(SANITIZE)
  set(kinds ${this_kind})
else()
  run(${CMAKE_COMMAND} -S ${PROJECT_DIR} -B ${OTHER_BUILD_DIR} -G ${GENERATOR}
      -DBUILD_SHARED_LIBS=${other} -DKU_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
      -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
  run(${CMAKE_COMMAND} --build ${OTHER_BUILD_DIR})
  run(${CMAKE_COMMAND} --install ${OTHER_BUILD_DIR} --prefix ${WORK_DIR}/${other_kind})
endif()

foreach(kind ${kinds})
  check_install(${WORK_DIR}/${kind} ${kind})
endforeach()
