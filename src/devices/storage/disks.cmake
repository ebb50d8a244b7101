# Container drives (WIN) and floppy drives (FLP).
if(TARGET zem_core)
  add_library(zem_disks STATIC flp_calls.cpp flp_drive.cpp win_drives.cpp)
  target_link_libraries(zem_disks PUBLIC zem_storage_errors zem_core zem_config zem_cpu zem_log zem_host_block_file zem_host_process)
endif()
