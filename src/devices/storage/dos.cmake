# Host directories as drives DOS1-DOS8.
if(TARGET zem_core)
  add_library(zem_storage STATIC
    dos_device.cpp
    dos_handles.cpp
    dos_names.cpp
    stored_header.cpp)
  target_link_libraries(zem_storage PUBLIC zem_storage_errors zem_core zem_config zem_cpu zem_log zem_fs_host)
endif()
