# Warnings used for every target of the project.
set(KU_WARNINGS -Wall -Wextra -Wno-unused-parameter)

# KU_SANITIZE is a list such as "address;undefined" or "thread", set by the presets.
if(KU_SANITIZE)
  string(REPLACE ";" "," _ku_san "${KU_SANITIZE}")
  add_compile_options(-fsanitize=${_ku_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_ku_san})
  if("undefined" IN_LIST KU_SANITIZE)
    # the library is built without RTTI, which the vptr check needs
    add_compile_options(-fno-sanitize=vptr)
  endif()
endif()
