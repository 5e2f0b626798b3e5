# Cross-building the Windows program (and Qt for Windows) with Debian's
# MinGW-w64 compilers, the POSIX-threads variant (std::thread works there).
# TARVELO_WINDOWS_PREFIX names the directory scripts/build-windows-qt fills
# (qt6/, sqlite3/, gtest/); what it holds is searched like the MinGW sysroot.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARVELO_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARVELO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVELO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TARVELO_MINGW}-windres)

if(NOT DEFINED TARVELO_WINDOWS_PREFIX AND DEFINED ENV{TARVELO_WINDOWS_PREFIX})
  set(TARVELO_WINDOWS_PREFIX "$ENV{TARVELO_WINDOWS_PREFIX}")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TARVELO_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${TARVELO_MINGW})
foreach(part qt6 sqlite3 gtest)
  if(TARVELO_WINDOWS_PREFIX AND EXISTS "${TARVELO_WINDOWS_PREFIX}/${part}")
    list(APPEND CMAKE_FIND_ROOT_PATH "${TARVELO_WINDOWS_PREFIX}/${part}")
  endif()
endforeach()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
