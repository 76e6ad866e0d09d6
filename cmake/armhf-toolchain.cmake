# Cross build for 32-bit ARM (hard float) with Debian's crossbuild-essential-armhf;
# tests run under qemu-arm. For another Debian cross toolchain, copy this file
# and change the three names.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(KU_CROSS_TRIPLE arm-linux-gnueabihf)
set(KU_CROSS_QEMU arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
