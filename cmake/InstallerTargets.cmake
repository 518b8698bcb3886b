# Shared build rules: warnings, sanitizers, and the helpers that every folder uses to
# declare its tests, fuzz targets and benchmarks.

set(INSTALLER_WARNINGS -Wall -Wextra -Wno-unused-parameter)

if(INSTALLER_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Adds every child folder that holds a CMakeLists.txt, so that a new tool, test group
# or benchmark needs no edit of the parent.
function(installer_add_child_folders)
  file(GLOB children LIST_DIRECTORIES true "${CMAKE_CURRENT_SOURCE_DIR}/*")
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY "${child}" AND EXISTS "${child}/CMakeLists.txt")
      add_subdirectory("${child}")
    endif()
  endforeach()
endfunction()

# installer_library(NAME [AUTOMOC] [FUZZ_COVERAGE] a.cpp b.cpp ...)
# A static library of the project: its folder is its public include folder and it
# is built with the project's warnings. AUTOMOC: it has Qt objects. FUZZ_COVERAGE:
# in the fuzzing tree it carries libFuzzer's coverage instrumentation, so that the
# fuzz targets can steer by what it does.
function(installer_library name)
  cmake_parse_arguments(L "AUTOMOC;FUZZ_COVERAGE" "" "" ${ARGN})
  add_library(${name} STATIC ${L_UNPARSED_ARGUMENTS})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${INSTALLER_WARNINGS})
  if(L_AUTOMOC)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  endif()
  if(INSTALLER_FUZZ AND L_FUZZ_COVERAGE)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# installer_program(NAME a.cpp ... [LIBS lib ...])
# An executable of the project, built with the project's warnings.
function(installer_program name)
  cmake_parse_arguments(P "" "" "LIBS" ${ARGN})
  add_executable(${name} ${P_UNPARSED_ARGUMENTS})
  target_compile_options(${name} PRIVATE ${INSTALLER_WARNINGS})
  target_link_libraries(${name} PRIVATE ${P_LIBS})
endfunction()

# installer_test_environment(TEST [VAR=VALUE ...])
# Gives a registered test the environment every test runs in (SDL's dummy audio,
# Qt's offscreen platform, the sanitizers' settings and leak suppressions); the
# given variables come last and so win.
function(installer_test_environment test)
  set(env "SDL_AUDIODRIVER=dummy" "QT_QPA_PLATFORM=offscreen"
          "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0"
          "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
          "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
          ${ARGN})
  set_tests_properties(${test} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 600)
endfunction()

# installer_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [ENV VAR=VALUE ...])
# A GoogleTest executable registered as one ctest test, in the common environment.
function(installer_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV" ${ARGN})
  installer_program(${name} ${T_SOURCES} LIBS ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    ACE_CORPUS_DIR="${ACE_CORPUS_DIR}"
    TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}"
    TEST_BINARY_DIR="${CMAKE_CURRENT_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  installer_test_environment(${name} ${T_ENV})
endfunction()

# installer_fuzz(NAME SOURCES a.cpp LIBS lib SEEDS dir)
# A libFuzzer target, built only in the fuzzing tree. The test suite runs it for
# INSTALLER_FUZZ_SECONDS over its seed folder, and replays the crash folder
# (regression inputs) first, so that every input that ever crashed stays covered.
function(installer_fuzz name)
  cmake_parse_arguments(F "" "SEEDS;REGRESSIONS" "SOURCES;LIBS" ${ARGN})
  if(NOT INSTALLER_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer ${INSTALLER_WARNINGS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set(work "${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus")
  file(MAKE_DIRECTORY "${work}")
  set(dirs "${work}")
  if(F_SEEDS)
    list(APPEND dirs "${F_SEEDS}")
  endif()
  if(F_REGRESSIONS AND EXISTS "${F_REGRESSIONS}")
    add_test(NAME ${name}-regressions COMMAND ${name} -runs=0 -timeout=10 "${F_REGRESSIONS}")
    installer_test_environment(${name}-regressions)
  endif()
  add_test(NAME ${name} COMMAND ${name} -max_total_time=${INSTALLER_FUZZ_SECONDS}
           -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 ${dirs})
  installer_test_environment(${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 900)
endfunction()

# installer_bench(NAME SOURCES a.cpp LIBS lib)
# A Google Benchmark executable with the benchmarks' shared header (bench_support).
function(installer_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  installer_program(${name} ${B_SOURCES} LIBS ${B_LIBS} bench_support)
  target_compile_definitions(${name} PRIVATE ACE_CORPUS_DIR="${ACE_CORPUS_DIR}")
endfunction()
