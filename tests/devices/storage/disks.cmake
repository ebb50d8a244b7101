# Container and floppy drives: the floppy caches driven directly, and guest programs
# against temporary containers and images in the real emulator.
if(TARGET zem_disks)
  add_executable(disks_tests ${CMAKE_CURRENT_LIST_DIR}/flp_drive_test.cpp)
  target_link_libraries(disks_tests PRIVATE zem_disks zem_test_support GTest::gtest_main)
  gtest_discover_tests(disks_tests TEST_PREFIX "disks." PROPERTIES LABELS disks)
endif()
if(TARGET zem2)
  add_executable(disks_guest_tests
    ${CMAKE_CURRENT_LIST_DIR}/win_program_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/flp_program_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/power_cut_test.cpp)
  target_link_libraries(disks_guest_tests PRIVATE zem_guest_runner GTest::gtest_main)
  zem_guest_test_programs(disks_guest_tests disks_guest ${CMAKE_SOURCE_DIR}/tests/guest/disks
    win_ops flp_ops power_cut flp_pending)
  add_dependencies(disks_guest_tests zem2)
  gtest_discover_tests(disks_guest_tests TEST_PREFIX "disks." PROPERTIES TIMEOUT 120)
  zem_label_discovered_tests(disks_guest_tests disks guest)
endif()
