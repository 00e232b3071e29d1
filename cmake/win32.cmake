# The Windows build: the game itself, and GoogleTest built from Debian's sources with the cross
# compiler. Test programs run under Wine through the wrapper, in a prefix of this build folder.
enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(TAVUNE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_SOURCE_DIR}/scripts/wine-run --prefix ${TAVUNE_WINEPREFIX})

# The pictures are made from their text pixel maps at build time.
set(TAVUNE_ART_DIR ${CMAKE_BINARY_DIR}/art)
file(GLOB TAVUNE_ART_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/art/*.txt)
set(TAVUNE_ART_FILES ${TAVUNE_ART_DIR}/tavune.ico)
foreach(id 01 02 03 04 05 06 07 08 09 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25)
  list(APPEND TAVUNE_ART_FILES ${TAVUNE_ART_DIR}/bmp${id}.bmp)
endforeach()
add_custom_command(
  OUTPUT ${TAVUNE_ART_FILES}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/make_art.py ${TAVUNE_ART_DIR}
  DEPENDS ${TAVUNE_ART_SOURCES} ${CMAKE_SOURCE_DIR}/scripts/make_art.py
  COMMENT "Making the pictures from their pixel maps")
add_custom_target(tavune_art DEPENDS ${TAVUNE_ART_FILES})

# Every resource of the program, linked into the game and into the tests that need them.
add_library(tavune_resources OBJECT res/tavune.rc)
add_dependencies(tavune_resources tavune_art)
set_property(SOURCE res/tavune.rc APPEND PROPERTY OBJECT_DEPENDS ${TAVUNE_ART_FILES})
target_include_directories(tavune_resources PRIVATE ${TAVUNE_ART_DIR} ${CMAKE_SOURCE_DIR}/res)

# Everything of the game but its entry point, so the tests can drive the real code.
file(GLOB TAVUNE_WIN_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/app/*.cpp ${CMAKE_SOURCE_DIR}/render/*.cpp ${CMAKE_SOURCE_DIR}/ui/*.cpp)
list(REMOVE_ITEM TAVUNE_WIN_SOURCES ${CMAKE_SOURCE_DIR}/app/main.cpp)
add_library(tavune_win STATIC ${TAVUNE_WIN_SOURCES})
target_include_directories(tavune_win PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/res)
target_link_libraries(tavune_win PUBLIC tavune_core gdi32 user32 kernel32)

add_executable(tavune WIN32 app/main.cpp)
target_link_libraries(tavune PRIVATE tavune_win tavune_resources)
# The shipped program carries no debug information and no unused library code.
target_link_options(tavune PRIVATE -s -Wl,--gc-sections)

if(BUILD_TESTING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Not our code: a newer compiler's warnings in it must not stop the build.
  target_compile_options(gtest PRIVATE -Wno-error)
  target_compile_options(gtest_main PRIVATE -Wno-error)
endif()
