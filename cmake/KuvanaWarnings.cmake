# Warnings for every target of the project: link ku_warnings.
add_library(ku_warnings INTERFACE)
target_compile_options(ku_warnings INTERFACE -Wall -Wextra -Wno-unused-parameter)
