# Parallel ports in process: host calls, targets and the writer threads.
if(TARGET zem_par)
  add_executable(par_ports_tests ${CMAKE_CURRENT_LIST_DIR}/par_ports_test.cpp)
  target_link_libraries(par_ports_tests PRIVATE zem_par zem_test_support GTest::gtest_main)
  gtest_discover_tests(par_ports_tests TEST_PREFIX "par." PROPERTIES LABELS devices TIMEOUT 120)
endif()
