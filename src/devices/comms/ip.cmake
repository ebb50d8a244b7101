# The TCP/IP device: socket objects, the socket operations and name services of host-call
# group $A, over the host socket layer.
if(TARGET zem_core)
  add_library(zem_ip STATIC ip_address.cpp ip_device.cpp ip_entries.cpp ip_errors.cpp ip_name_calls.cpp)
  target_link_libraries(zem_ip PUBLIC zem_core zem_host_sockets)
endif()
