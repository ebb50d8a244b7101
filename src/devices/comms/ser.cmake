# Serial ports (SER): the port records, their threads and the host-call group.
if(TARGET zem_core)
  find_package(Threads REQUIRED)
  add_library(zem_ser STATIC
    ${CMAKE_CURRENT_LIST_DIR}/ser_calls.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ser_port.cpp)
  target_include_directories(zem_ser PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(zem_ser PUBLIC zem_core zem_config zem_serial_line Threads::Threads)
endif()
