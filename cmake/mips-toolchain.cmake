# Cross build for 32-bit big-endian MIPS with Debian's g++-mips-linux-gnu;
# tests run under qemu-mips.
set(CMAKE_SYSTEM_PROCESSOR mips)
set(KU_CROSS_TRIPLE mips-linux-gnu)
set(KU_CROSS_QEMU mips)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
