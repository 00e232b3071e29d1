# The Windows build: the game itself, and GoogleTest built from Debian's sources with the cross
# compiler. Test programs run under Wine through the wrapper, on the desktops in this build folder.
enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(TAVUNE_DESKTOPS ${CMAKE_BINARY_DIR}/desktops)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run ${TAVUNE_DESKTOPS})

# The pictures are made from their text pixel maps at build time. The script names the files it
# writes; a new or removed map makes CMake ask it again.
set(TAVUNE_ART_DIR ${CMAKE_BINARY_DIR}/art)
set(TAVUNE_MAKE_ART ${CMAKE_SOURCE_DIR}/scripts/make_art.py)
file(GLOB TAVUNE_ART_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/art/*.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TAVUNE_MAKE_ART})
execute_process(COMMAND ${Python3_EXECUTABLE} ${TAVUNE_MAKE_ART} --list
                OUTPUT_VARIABLE TAVUNE_ART_NAMES OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" TAVUNE_ART_NAMES "${TAVUNE_ART_NAMES}")
list(TRANSFORM TAVUNE_ART_NAMES PREPEND ${TAVUNE_ART_DIR}/ OUTPUT_VARIABLE TAVUNE_ART_FILES)
add_custom_command(
  OUTPUT ${TAVUNE_ART_FILES}
  COMMAND ${Python3_EXECUTABLE} ${TAVUNE_MAKE_ART} ${TAVUNE_ART_DIR}
  DEPENDS ${TAVUNE_ART_SOURCES} ${TAVUNE_MAKE_ART}
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
target_link_libraries(tavune_win PUBLIC tavune_core gdi32 user32 kernel32 wtsapi32)

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
