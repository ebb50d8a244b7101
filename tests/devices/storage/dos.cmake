# The host-directory drives, in process: names, escape attempts, handles, headers, errors.
if(TARGET zem_storage)
  add_executable(storage_tests names_test.cpp escape_test.cpp operations_test.cpp host_layer_test.cpp)
  target_link_libraries(storage_tests PRIVATE zem_storage GTest::gtest_main)
  gtest_discover_tests(storage_tests TEST_PREFIX "storage." PROPERTIES LABELS storage)
endif()

# Guest programs on drive DOS1 in the real emulator.
if(TARGET zem2)
  add_executable(storage_guest_tests dos_program_test.cpp)
  target_link_libraries(storage_guest_tests PRIVATE zem_guest_runner GTest::gtest_main)
  zem_guest_test_programs(storage_guest_tests dos_guest ${CMAKE_SOURCE_DIR}/tests/guest/dos
    files headers directories kept full readonly)
  add_dependencies(storage_guest_tests zem2)
  gtest_discover_tests(storage_guest_tests TEST_PREFIX "storage." PROPERTIES TIMEOUT 120)
  zem_label_discovered_tests(storage_guest_tests storage guest)
endif()
