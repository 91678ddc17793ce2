# Included by ctest after the discovered tests of test_e2e: labels them "e2e"
# (run them alone with `ctest -L e2e`) and bounds each run.
if(test_e2e_TESTS)
  set_tests_properties(${test_e2e_TESTS} PROPERTIES LABELS e2e TIMEOUT 300)
endif()
