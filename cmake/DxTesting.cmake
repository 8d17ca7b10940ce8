# Tests, linked with GoogleTest: natively one executable per test file, with the
# system GoogleTest; in the Windows build one program holding every test file,
# with GoogleTest compiled from the Debian sources.
if(WIN32)
  if(NOT TARGET gtest)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
    # The toolchain's win32 thread model lacks std::mutex, which GoogleTest's
    # Notification uses: its customization header supplies one without it.
    target_include_directories(gtest BEFORE PUBLIC ${CMAKE_CURRENT_LIST_DIR}/gtest-custom)
  endif()
  set(DX_GTEST_LIBS gtest gtest_main)
  set(DX_WINDOWS_SUITE win32_suite)
else()
  find_package(GTest REQUIRED)
  set(DX_GTEST_LIBS GTest::gtest GTest::gtest_main)
endif()

# dx_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>])
# Natively: the GoogleTest executable <name>, registered with ctest. In the
# Windows build: the object library <name>, linked with every other case into
# the one Windows test program (tests/win32), so that Wine starts once for
# the whole suite. DX_TEST_PROGRAM names the program the cases run in.
function(dx_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(WIN32)
    add_library(${name} OBJECT ${T_SOURCES})
    set_property(GLOBAL APPEND PROPERTY DX_WINDOWS_CASES ${name})
    set(program ${DX_WINDOWS_SUITE})
  else()
    add_executable(${name} ${T_SOURCES})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT 600)
    set(program ${name})
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} ${DX_GTEST_LIBS} dx::warnings)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE DX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    DX_MODULE_PATH="$<TARGET_FILE:LexoraDX>" DX_TEST_PROGRAM="$<TARGET_FILE:${program}>")
endfunction()

# dx_add_tests(LIBS <targets...> LABEL <label> TESTS <names...>)
# One test executable per file <name>.cpp of the calling folder.
function(dx_add_tests)
  cmake_parse_arguments(T "" "LABEL" "LIBS;TESTS" ${ARGN})
  foreach(name ${T_TESTS})
    dx_add_test(${name} SOURCES ${name}.cpp LIBS ${T_LIBS} LABELS ${T_LABEL})
  endforeach()
endfunction()

# dx_portable_twin(<library> <twin> LINK <targets...>)
# <twin>: <library> built from its own sources without SSE2 and linked to
# <targets> in place of its own dependencies, so that tests reach the portable
# scanning path that an x86 build leaves out. The twin's users are compiled
# without SSE2 too, so the inline scanners of the headers agree with it.
function(dx_portable_twin library twin)
  cmake_parse_arguments(T "" "" "LINK" ${ARGN})
  get_target_property(sources ${library} SOURCES)
  get_target_property(folder ${library} SOURCE_DIR)
  list(TRANSFORM sources PREPEND ${folder}/)
  add_library(${twin} STATIC ${sources})
  target_include_directories(${twin} PUBLIC $<TARGET_PROPERTY:${library},INTERFACE_INCLUDE_DIRECTORIES>)
  target_link_libraries(${twin} PUBLIC ${T_LINK} PRIVATE dx::warnings)
  # Compile options follow the definitions on the command line, so this
  # undoes the build-wide DX_SIMD_SSE2.
  target_compile_options(${twin} PUBLIC -UDX_SIMD_SSE2)
endfunction()
