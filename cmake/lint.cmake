# Format, clang-tidy and cppcheck over the project's own code, as tests.
file(GLOB_RECURSE lint_sources CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/toggle/*.cpp ${PROJECT_SOURCE_DIR}/toggle/*.h
  ${PROJECT_SOURCE_DIR}/lamp/*.cpp ${PROJECT_SOURCE_DIR}/lamp/*.h
  ${PROJECT_SOURCE_DIR}/platform/*.cpp ${PROJECT_SOURCE_DIR}/platform/*.h
  ${PROJECT_SOURCE_DIR}/tools/*.cpp ${PROJECT_SOURCE_DIR}/tools/*.h
  ${PROJECT_SOURCE_DIR}/tests/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.h)
set(lint_compiled ${lint_sources})
list(FILTER lint_compiled INCLUDE REGEX "\\.cpp$")
list(FILTER lint_compiled EXCLUDE REGEX "/tests/fuzz/|crash_point_off\\.cpp$|lean_runtime\\.cpp$")

find_program(CLANG_FORMAT clang-format REQUIRED)
find_program(RUN_CLANG_TIDY run-clang-tidy REQUIRED)
find_program(CPPCHECK cppcheck REQUIRED)

add_test(NAME lint.clang-format COMMAND ${CLANG_FORMAT} --dry-run -Werror ${lint_sources})
add_test(NAME lint.clang-tidy
  COMMAND ${RUN_CLANG_TIDY} -quiet -p ${CMAKE_BINARY_DIR} ${lint_compiled})
add_test(NAME lint.cppcheck
  COMMAND ${CPPCHECK} --quiet --error-exitcode=1 --std=c++20 --language=c++
          --enable=warning,performance,portability --inline-suppr --library=googletest
          --suppress=missingIncludeSystem
          -I ${PROJECT_SOURCE_DIR}/platform -I ${PROJECT_SOURCE_DIR}/platform/posix
          -I ${PROJECT_SOURCE_DIR}/toggle -I ${PROJECT_SOURCE_DIR}/lamp
          ${PROJECT_SOURCE_DIR}/toggle ${PROJECT_SOURCE_DIR}/lamp ${PROJECT_SOURCE_DIR}/platform
          ${PROJECT_SOURCE_DIR}/tools ${PROJECT_SOURCE_DIR}/tests)
set_tests_properties(lint.clang-format lint.clang-tidy lint.cppcheck PROPERTIES LABELS lint TIMEOUT 900)
