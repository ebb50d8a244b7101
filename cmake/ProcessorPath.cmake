# Which processor path a build gets.
#
# Threaded dispatch (every handler jumps straight to the next) is only sound where the jump
# is certain to be a tail call: a call instead would grow the host stack with every guest
# instruction. Clang guarantees it with [[clang::musttail]] at any optimisation level; GCC
# only turns the jump into a tail call when optimising, and not under sanitizers, which
# instrument function exits. Every other build uses the plain loop.
#
# ZEM_PORTABLE_FLAGS builds the portable path alone: the plain loop, guest memory anywhere,
# condition codes computed without assembler. The default build carries it too, as the
# fallback taken when the fixed guest address cannot be had.
option(ZEM_PORTABLE_FLAGS "Build only the portable processor path (no fixed address, no assembler)" OFF)

# Position-dependent code saves an address computation where a handler indexes the register
# file or a handler table. On the integer workload that measured about 2 %, too little to
# give up position-independent programs (address-space randomisation); the option is kept
# to measure it again.
option(ZEM_NO_PIE "Build programs that link the processor as position-dependent code" OFF)

set(ZEM_THREADED_DISPATCH OFF)
if(NOT ZEM_PORTABLE_FLAGS AND NOT ZEM_SANITIZE)
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set(ZEM_THREADED_DISPATCH ON)
  elseif(CMAKE_CXX_COMPILER_ID STREQUAL "GNU"
         AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
    set(ZEM_THREADED_DISPATCH ON)
  endif()
endif()
message(STATUS "Processor: ${CMAKE_CXX_COMPILER_ID} ${CMAKE_BUILD_TYPE}, threaded dispatch ${ZEM_THREADED_DISPATCH}, portable only ${ZEM_PORTABLE_FLAGS}")
