# The TCP/IP device: address texts, database entries and the host calls on guest memory,
# against loopback peers the tests run.
if(TARGET zem_ip)
  add_executable(ip_tests ip_device_test.cpp ip_names_test.cpp)
  target_include_directories(ip_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(ip_tests PRIVATE zem_ip GTest::gtest_main)
  gtest_discover_tests(ip_tests TEST_PREFIX "ip." PROPERTIES LABELS ip)
endif()

# Guest programs on the real emulator against loopback servers the tests run.
if(TARGET zem2)
  add_executable(ip_guest_tests ip_program_test.cpp)
  target_include_directories(ip_guest_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(ip_guest_tests PRIVATE zem_guest_runner GTest::gtest_main)
  zem_guest_test_programs(ip_guest_tests ip_guest ${CMAKE_SOURCE_DIR}/tests/guest/ip
    tcp_echo udp_echo http_get server names load)
  gtest_discover_tests(ip_guest_tests TEST_PREFIX "ip." PROPERTIES TIMEOUT 180)
  zem_label_discovered_tests(ip_guest_tests ip guest)
endif()
