# Cross-compiling the Windows executables with Debian's MinGW-w64 (x86_64, posix thread model).
# The tests run under Wine through scripts/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DRUMLO_MINGW_PREFIX x86_64-w64-mingw32)
# The plain names are the win32 thread model, which lacks std::thread and std::mutex.
set(CMAKE_C_COMPILER ${DRUMLO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DRUMLO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${DRUMLO_MINGW_PREFIX}-windres)
# windres reads resource scripts as UTF-8, so the Chinese strings survive.
set(CMAKE_RC_FLAGS_INIT "-c 65001")

set(CMAKE_FIND_ROOT_PATH /usr/${DRUMLO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread linked in: the .exe files need only system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR bash ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
