# The Qt-free test programs, for a build without Qt (the Windows ABI cross-build): GoogleTest
# is built from its source, and vantrel_add_test builds a program only when it needs no Qt,
# that is when it is not a window test and every library it links is one built here. So a
# room's new Qt-free test program joins this build without being listed anywhere.
#
# The programs land in bin/ of the build folder; each is also a CTest test (run through
# CMAKE_CROSSCOMPILING_EMULATOR, wine, when cross-compiling).

set(VANTREL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
  "GoogleTest's source (Debian's googletest package)")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${VANTREL_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(lib gtest gtest_main gmock gmock_main)
  # Its own code's warnings are not ours to fail on.
  set_target_properties(${lib} PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
endforeach()

function(vantrel_add_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS;LABELS" ${ARGN})
  set(qt_free TRUE)
  if(T_GUI)
    set(qt_free FALSE)
  endif()
  foreach(lib IN LISTS T_LIBS)
    if(NOT TARGET ${lib})
      set(qt_free FALSE)
    endif()
  endforeach()
  if(NOT qt_free)
    # A placeholder that is never built, so the room's CMakeLists may still set its properties.
    add_executable(${name} EXCLUDE_FROM_ALL ${T_SOURCES})
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
  add_test(NAME ${name} COMMAND ${name})
endfunction()
