# Dependencies of the Windows cross build, taken from Debian's packages without the build machine's include folder.

# nlohmann json is header-only: its folder is copied into the build so that
# /usr/include itself never reaches the cross compiler.
set(QUILLEX_JSON_INCLUDE ${CMAKE_BINARY_DIR}/third_party/include)
file(COPY /usr/include/nlohmann DESTINATION ${QUILLEX_JSON_INCLUDE})
add_library(quillex_nlohmann_json INTERFACE)
target_include_directories(quillex_nlohmann_json SYSTEM INTERFACE ${QUILLEX_JSON_INCLUDE})
add_library(nlohmann_json::nlohmann_json ALIAS quillex_nlohmann_json)

# GoogleTest and GoogleMock are built from Debian's sources with this toolchain,
# without our warning flags.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
get_directory_property(QUILLEX_SAVED_OPTIONS COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/third_party/googletest EXCLUDE_FROM_ALL)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${QUILLEX_SAVED_OPTIONS}")
# GoogleTest's own build names its targets GTest::gtest and the like already.
foreach(name gtest gtest_main gmock)
  if(NOT TARGET GTest::${name})
    add_library(GTest::${name} ALIAS ${name})
  endif()
endforeach()
