# Serial ports: the host calls in process against pseudo-terminals, and guest programs in
# the real emulator against a pseudo-terminal the test holds.
if(TARGET zem_ser)
  add_library(zem_test_pty STATIC ${CMAKE_CURRENT_LIST_DIR}/ser_pty.cpp)
  target_include_directories(zem_test_pty PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(zem_test_pty PUBLIC util)

  add_executable(ser_tests ${CMAKE_CURRENT_LIST_DIR}/ser_port_test.cpp)
  target_link_libraries(ser_tests PRIVATE zem_ser zem_test_pty GTest::gtest_main)
  gtest_discover_tests(ser_tests TEST_PREFIX "ser." PROPERTIES LABELS ser TIMEOUT 60 RESOURCE_LOCK zem_pty)
endif()

if(TARGET zem_ser AND TARGET zem2)
  add_executable(ser_guest_tests ${CMAKE_CURRENT_LIST_DIR}/ser_program_test.cpp)
  target_link_libraries(ser_guest_tests PRIVATE zem_guest_runner zem_test_pty GTest::gtest_main)
  zem_guest_test_programs(ser_guest_tests ser_guest ${CMAKE_SOURCE_DIR}/tests/guest/ser
    ser_bytes ser_bulk ser_rts ser_sequences ser_hangup)
  add_dependencies(ser_guest_tests zem2)
  # Pseudo-terminal numbers are handed out afresh as soon as one is freed; the test of a
  # vanished peer relies on its number staying free for a moment.
  gtest_discover_tests(ser_guest_tests TEST_PREFIX "ser." PROPERTIES TIMEOUT 180
    RESOURCE_LOCK zem_pty)
  zem_label_discovered_tests(ser_guest_tests ser guest)
endif()
