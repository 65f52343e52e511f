# Sanitizer reports stop the test, with symbolised stacks where clang's
# runtime finds its symboliser.
set(ORVANTO_SANITIZER_ENV "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
if(ORVANTO_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  string(REGEX MATCH "^[0-9]+" clang_major "${CMAKE_CXX_COMPILER_VERSION}")
  find_program(ORVANTO_SYMBOLIZER NAMES llvm-symbolizer-${clang_major} llvm-symbolizer)
  if(ORVANTO_SYMBOLIZER)
    list(APPEND ORVANTO_SANITIZER_ENV "ASAN_SYMBOLIZER_PATH=${ORVANTO_SYMBOLIZER}")
  endif()
endif()

# One helper for every test: offscreen widgets, a UTF-8 locale and a
# private HOME, so no test ever touches the real settings file. A CORE
# test (logic, database client) links no widgets and runs a GUI-less main.
function(orvanto_add_test name)
  cmake_parse_arguments(ARG "CORE" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_CORE)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} orvanto_testsupport_core Qt6::Test)
  else()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} orvanto_testsupport Qt6::Test)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    LABELS "${ARG_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANG=C.UTF-8;${ORVANTO_SANITIZER_ENV}")
endfunction()
