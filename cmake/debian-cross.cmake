# Shared by the cross toolchain files: Debian's cross compilers for
# KU_CROSS_TRIPLE (e.g. arm-linux-gnueabihf), its libraries under
# /usr/<triple>, tests run by qemu-KU_CROSS_QEMU through the emulator setting.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${KU_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${KU_CROSS_TRIPLE}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${KU_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${KU_CROSS_QEMU};-L;/usr/${KU_CROSS_TRIPLE})
