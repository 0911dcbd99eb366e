# 64-bit build of the libraries and tests, to keep the code free of 32-bit
# pointer assumptions. The shipped launcher is the 32-bit build.
set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
