# The native build: the portable core and its unit tests, with Debian's GoogleTest.
if(BUILD_TESTING)
  find_package(GTest REQUIRED)
endif()
