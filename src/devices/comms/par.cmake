# Parallel ports: the PAR host calls, the port records and their writer threads, with
# the host's printers, print jobs and devices behind a thin layer of their own.
if(TARGET zem_core)
  find_package(Cups REQUIRED)
  add_library(zem_host_printers STATIC ${CMAKE_SOURCE_DIR}/src/platform/host_printers.cpp)
  target_include_directories(zem_host_printers PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(zem_host_printers PUBLIC Cups::Cups)

  add_library(zem_par STATIC
    ${CMAKE_CURRENT_LIST_DIR}/par_calls.cpp
    ${CMAKE_CURRENT_LIST_DIR}/par_ports.cpp)
  target_link_libraries(zem_par PUBLIC zem_core zem_config zem_host_printers)
endif()
