# Third-party dependencies of the mingw-w64 cross-build, included right after
# project() (see mingw-w64-x86_64.cmake). Debian ships them for the build
# machine only, so:
# - GoogleTest and GoogleMock are built here from Debian's sources;
# - nlohmann-json and CLI11 are header-only: their headers are staged in a
#   directory of their own, since adding the host's /usr/include would bring
#   in the host's C library headers;
# - find_package() finds each through a small config file in config/.
enable_language(RC)

set(KR35_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the cross-build")
if(KR35_BUILD_TESTS OR NOT DEFINED KR35_BUILD_TESTS)
  if(NOT EXISTS ${KR35_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${KR35_GOOGLETEST_SOURCE_DIR} (package googletest)")
  endif()
  add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/googletest ${CMAKE_BINARY_DIR}/_deps/googletest-wrapper)
endif()

set(KR35_HOST_INCLUDE_DIR /usr/include CACHE PATH "Where the header-only libraries are installed")
set(staged ${CMAKE_BINARY_DIR}/_deps/host-headers)
file(MAKE_DIRECTORY ${staged})
foreach(dir nlohmann CLI)
  if(NOT EXISTS ${KR35_HOST_INCLUDE_DIR}/${dir})
    message(FATAL_ERROR "${KR35_HOST_INCLUDE_DIR}/${dir} not found (packages nlohmann-json3-dev, libcli11-dev)")
  endif()
  file(CREATE_LINK ${KR35_HOST_INCLUDE_DIR}/${dir} ${staged}/${dir} SYMBOLIC)
endforeach()
foreach(target nlohmann_json::nlohmann_json CLI11::CLI11)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${staged})
endforeach()

set(GTest_DIR ${CMAKE_CURRENT_LIST_DIR}/config)
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/config)
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/config)
