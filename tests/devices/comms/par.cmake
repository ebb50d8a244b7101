# Parallel ports in process: host calls, targets and the writer threads.
if(TARGET zem_par)
  add_executable(par_ports_tests ${CMAKE_CURRENT_LIST_DIR}/par_ports_test.cpp)
  target_link_libraries(par_ports_tests PRIVATE zem_par zem_test_support GTest::gtest_main)
  gtest_discover_tests(par_ports_tests TEST_PREFIX "par." PROPERTIES LABELS devices TIMEOUT 120)
endif()

# Guest programs printing through the real emulator and the real printer program.
if(TARGET zem2 AND TARGET zemprint)
  add_executable(par_program_tests ${CMAKE_CURRENT_LIST_DIR}/par_program_test.cpp
                                   ${CMAKE_SOURCE_DIR}/tests/printer/run_process.cpp)
  target_include_directories(par_program_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/printer)
  target_link_libraries(par_program_tests PRIVATE zem_guest_runner GTest::gtest_main)
  target_compile_definitions(par_program_tests PRIVATE ZEM_CUPS_STATE="${CMAKE_BINARY_DIR}/tests/printer/cups-server")
  zem_guest_test_programs(par_program_tests par_guest ${CMAKE_SOURCE_DIR}/tests/guest/par par_job par_printers)
  add_dependencies(par_program_tests zem2 zemprint)
  # The raw-job and printer-list tests use the private CUPS scheduler of the printer tests.
  gtest_discover_tests(par_program_tests TEST_PREFIX "par."
                       PROPERTIES LABELS guest FIXTURES_REQUIRED printer_cups TIMEOUT 180)
  zem_label_discovered_tests(par_program_tests devices guest)
endif()
