# Cross-compiles the Windows build with Debian's mingw-w64, for TAVUNE_WINDOWS_PROCESSOR: i686 (the
# 32-bit game, the default) or x86_64. The posix thread model is needed: the default win32 one
# has no std::mutex, which GoogleTest uses.
if(NOT TAVUNE_WINDOWS_PROCESSOR)
  set(TAVUNE_WINDOWS_PROCESSOR i686)
endif()
# The compiler checks run in projects of their own, which see only the variables named here.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVUNE_WINDOWS_PROCESSOR)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TAVUNE_WINDOWS_PROCESSOR})

set(CMAKE_C_COMPILER ${TAVUNE_WINDOWS_PROCESSOR}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVUNE_WINDOWS_PROCESSOR}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${TAVUNE_WINDOWS_PROCESSOR}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVUNE_WINDOWS_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
