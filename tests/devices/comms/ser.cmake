# Serial ports: the host calls in process against pseudo-terminals, and guest programs in
# the real emulator against a pseudo-terminal the test holds.
if(TARGET zem_ser)
  add_library(zem_test_pty STATIC ${CMAKE_CURRENT_LIST_DIR}/ser_pty.cpp)
  target_include_directories(zem_test_pty PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(zem_test_pty PUBLIC util)

  add_executable(ser_tests ${CMAKE_CURRENT_LIST_DIR}/ser_port_test.cpp)
  target_link_libraries(ser_tests PRIVATE zem_ser zem_test_pty GTest::gtest_main)
  gtest_discover_tests(ser_tests TEST_PREFIX "ser." PROPERTIES LABELS ser TIMEOUT 60)
endif()
