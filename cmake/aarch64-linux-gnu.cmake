# Cross build for 64-bit ARM Linux, a little-endian machine other than the
# build machine (packages g++-aarch64-linux-gnu, qemu-user).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include("${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake")
