# Fails when the disassembly of a guest program holds a floating-point (line F) opcode:
# the benchmark measures the integer processor, and the guest must run without an FPU.
# Usage: cmake -DOBJDUMP=... -DELF=... -P check_no_fpu.cmake
execute_process(COMMAND ${OBJDUMP} -d ${ELF} OUTPUT_VARIABLE raw RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${ELF}")
endif()
string(REPLACE "\n" ";" raw_lines "${raw}")
set(bad "")
foreach(line IN LISTS raw_lines)
  # "   30012:\tf200 4400 \tfmoves ..." : the first instruction word, then the mnemonic.
  if(line MATCHES "^ *[0-9a-f]+:\t([0-9a-f][0-9a-f][0-9a-f][0-9a-f])[0-9a-f ]*\t([^ \t]+)")
    set(word ${CMAKE_MATCH_1})
    set(mnemonic ${CMAKE_MATCH_2})
    if(word MATCHES "^f" OR mnemonic MATCHES "^f")
      list(APPEND bad "${line}")
    endif()
  endif()
endforeach()
if(bad)
  list(LENGTH bad count)
  string(REPLACE ";" "\n" bad_text "${bad}")
  message(FATAL_ERROR "${ELF}: ${count} floating-point (line F) instruction(s):\n${bad_text}")
endif()
