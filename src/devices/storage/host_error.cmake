# Host errors as guest error codes, one table for every storage device.
if(TARGET zem_core)
  add_library(zem_storage_errors STATIC host_error.cpp)
  target_link_libraries(zem_storage_errors PUBLIC zem_core zem_log)
endif()
