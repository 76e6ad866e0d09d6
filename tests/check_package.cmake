# Installs the build tree into a fresh prefix, then builds and runs a small
# consumer against it twice: with find_package(kuvanaTools) and with
# pkg-config. Arguments: BUILD_DIR, SOURCE_DIR (the consumer), WORK_DIR,
# C_COMPILER, GENERATOR, PKG_CONFIG, SANITIZE (the -fsanitize flags or "").
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "failed (${status}): ${command}\n${out}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

foreach(present include/kuvanaTools/kuvanaTools.h include/kuvanaTools/kuURI.h
        include/kuLog/Log.h include/platform/kuOS.h)
  if(NOT EXISTS ${prefix}/${present})
    message(FATAL_ERROR "not installed: ${present}")
  endif()
endforeach()
if(EXISTS ${prefix}/include/kuvanaTools/private)
  message(FATAL_ERROR "the private headers were installed")
endif()
file(GLOB_RECURSE pc_files ${prefix}/*/kuvanaTools.pc)
file(GLOB_RECURSE config_files ${prefix}/*/kuvanaToolsConfig.cmake)
if(NOT pc_files OR NOT config_files)
  message(FATAL_ERROR "kuvanaTools.pc or kuvanaToolsConfig.cmake missing")
endif()
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)
get_filename_component(libdir ${pc_dir} DIRECTORY)

set(flags "")
if(SANITIZE)
  set(flags "-fsanitize=${SANITIZE}")
endif()

# 1. CMake package.
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/cmake -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${C_COMPILER}
    "-DCMAKE_C_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake)
run(${WORK_DIR}/cmake/consumer)
message(STATUS "find_package consumer: ${last_output}")

# 2. pkg-config, with the library found through LD_LIBRARY_PATH.
run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir} ${PKG_CONFIG} --cflags --libs kuvanaTools)
separate_arguments(pc_flags UNIX_COMMAND "${last_output}")
separate_arguments(san_flags UNIX_COMMAND "${flags}")
run(${C_COMPILER} -std=c99 -pedantic -Wall -Werror ${san_flags} ${SOURCE_DIR}/consumer.c
    ${pc_flags} -o ${WORK_DIR}/consumer-pc)
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${libdir} ${WORK_DIR}/consumer-pc)
message(STATUS "pkg-config consumer: ${last_output}")

# 3. The installed tool finds the installed libraries and examples by itself,
# from any directory.
if(EXISTS ${prefix}/bin/kuvana)
  run(${CMAKE_COMMAND} -E chdir ${WORK_DIR} ${prefix}/bin/kuvana demo)
  if(NOT last_output MATCHES "prefix/share/kuvanaTools/examples/renderer-sink.txt: 428 sink")
    message(FATAL_ERROR "the installed demo did not use the installed examples:\n${last_output}")
  endif()
  message(STATUS "installed tool: the demo runs")
endif()
