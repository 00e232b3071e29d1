# The Windows build: the game itself, and GoogleTest built from Debian's sources with the cross
# compiler. Test programs run under Wine through the wrapper, in a prefix of this build folder.
set(TAVUNE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_SOURCE_DIR}/scripts/wine-run --prefix ${TAVUNE_WINEPREFIX})

add_executable(tavune WIN32
  app/main.cpp
)
target_link_libraries(tavune PRIVATE tavune_core)

if(BUILD_TESTING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
