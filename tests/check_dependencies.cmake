cmake_minimum_required(VERSION 3.25)
# The library and the platform layer may need only each other (the library the
# platform layer), libc, libm, libpthread and the dynamic loader at run time
# (plus the sanitizer runtimes in sanitizer builds): no libstdc++, no
# libatomic, on every target.
set(allowed "libkuOS\\.so\\.[0-9]+|libc\\.so\\.6|libm\\.so\\.6|libpthread\\.so\\.0|ld-linux[-a-z0-9_.]*|ld\\.so\\.1")
if(SANITIZE)
  string(APPEND allowed "|lib(a|ub|t)san\\.so\\.[0-9]+|libgcc_s\\.so\\.1|libstdc\\+\\+\\.so\\.6")
endif()
foreach(library ${LIBRARY} ${PLATFORM})
  execute_process(COMMAND ${READELF} -d ${library} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "readelf failed on ${library}")
  endif()
  string(REGEX MATCHALL "Shared library: \\[[^]]+\\]" needed "${out}")
  foreach(entry ${needed})
    string(REGEX REPLACE "Shared library: \\[([^]]+)\\]" "\\1" lib "${entry}")
    message(STATUS "${library} needs ${lib}")
    if(NOT lib MATCHES "^(${allowed})$")
      message(FATAL_ERROR "unexpected run-time dependency of ${library}: ${lib}")
    endif()
  endforeach()
endforeach()
