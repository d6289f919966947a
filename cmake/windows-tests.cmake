# Under wine every start of a test program costs seconds: in the Windows
# build a test program is one ctest test whose cases run in that one start,
# instead of one start per case. The properties given apply to it.
function(gtest_discover_tests target)
  cmake_parse_arguments(arg "" "DISCOVERY_TIMEOUT;DISCOVERY_MODE" "PROPERTIES;EXTRA_ARGS" ${ARGN})
  add_test(NAME ${target} COMMAND ${target} ${arg_EXTRA_ARGS})
  set_tests_properties(${target} PROPERTIES TIMEOUT 1800 ${arg_PROPERTIES})
endfunction()
