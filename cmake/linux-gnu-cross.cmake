# The part of the Linux cross builds that every target machine shares; the
# toolchain file of each machine sets CMAKE_SYSTEM_PROCESSOR to the first
# word of Debian's triple and includes this. Debian's cross compilers
# (g++-<triple>) and their libraries (/usr/<triple>) build the programs,
# which run on the build machine under qemu-user (qemu-<processor>).
set(CMAKE_SYSTEM_NAME Linux)

set(ZAND_STL_CROSS_TRIPLE ${CMAKE_SYSTEM_PROCESSOR}-linux-gnu)
set(CMAKE_C_COMPILER ${ZAND_STL_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ZAND_STL_CROSS_TRIPLE}-g++)

# Headers and libraries come from the target's tree only; programs (the
# build tools) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${ZAND_STL_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest and test discovery run every program through qemu-user, which takes
# the target's dynamic loader and libraries from the same tree. Every other
# path, the build tree and the sources included, is the host's own.
set(CMAKE_CROSSCOMPILING_EMULATOR
  "qemu-${CMAKE_SYSTEM_PROCESSOR};-L;/usr/${ZAND_STL_CROSS_TRIPLE}")
