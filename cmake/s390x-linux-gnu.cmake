# Cross build for IBM Z Linux, the big-endian machine among those the tests
# run on (packages g++-s390x-linux-gnu, qemu-user).
set(CMAKE_SYSTEM_PROCESSOR s390x)
include("${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake")
