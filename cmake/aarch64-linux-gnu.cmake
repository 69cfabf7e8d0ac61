# Cross build for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu, tested under qemu-user:
#   cmake -S . -B build/arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(ARM64_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${ARM64_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ARM64_TRIPLE}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${ARM64_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the tests through qemu-user, which loads the program's shared libraries from the
# cross sysroot. QEMU_CPU in the environment picks the emulated processor (default: max).
find_program(VANTEL_QEMU NAMES qemu-aarch64 qemu-aarch64-static NO_CMAKE_FIND_ROOT_PATH)
if(VANTEL_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VANTEL_QEMU} -L /usr/${ARM64_TRIPLE})
else()
  message(WARNING "qemu-aarch64 not found: the arm64 tests can be built but not run")
endif()
