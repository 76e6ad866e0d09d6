# Warnings for every target of the project: link ku_warnings (the list is kept
# in KU_WARNINGS too for targets that add it by hand).
set(KU_WARNINGS -Wall -Wextra -Wno-unused-parameter)
add_library(ku_warnings INTERFACE)
target_compile_options(ku_warnings INTERFACE ${KU_WARNINGS})
