# Cross build for 64-bit Windows with MinGW-w64 (Debian package
# g++-mingw-w64-x86-64-posix): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAMLO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAMLO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAMLO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAMLO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAMLO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Windows programs built here run on this machine under Wine (the tests do).
find_program(TAMLO_WINE wine)
if(TAMLO_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TAMLO_WINE})
endif()
