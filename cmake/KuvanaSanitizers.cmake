# KU_SANITIZE is a list such as "address;undefined" or "thread", set by the
# presets. ku_sanitizers carries its flags; the libraries pass it on to every
# target that links them, so tests, tools and fuzz targets match the library.
# With KU_BUILD_FUZZ the code is also instrumented for libFuzzer's coverage
# feedback (the fuzz targets add the fuzzer's own main themselves).
add_library(ku_sanitizers INTERFACE)
if(KU_SANITIZE)
  string(REPLACE ";" "," _ku_san "${KU_SANITIZE}")
  target_compile_options(ku_sanitizers INTERFACE
    -fsanitize=${_ku_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(ku_sanitizers INTERFACE -fsanitize=${_ku_san})
  if("undefined" IN_LIST KU_SANITIZE)
    # the library is built without RTTI, which the vptr check needs
    target_compile_options(ku_sanitizers INTERFACE -fno-sanitize=vptr)
  endif()
endif()
if(KU_BUILD_FUZZ)
  target_compile_options(ku_sanitizers INTERFACE -fsanitize=fuzzer-no-link)
endif()
