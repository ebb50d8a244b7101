# Fails when a linked guest program (our guest system, the benchmark workload) holds an
# F-line instruction (first word $Fxxx): the compiler must not emit coprocessor code, the
# machine has no such unit. Accelerator words ($ABxx) must be among those the program emits
# on purpose (ACCEL_WORDS, empty for none); host-call words are ours.
# Usage: cmake -DOBJDUMP=... -DELF=... -DACCEL_WORDS=ab01;ab03 -P check_no_fline.cmake
execute_process(COMMAND ${OBJDUMP} -d --section=.text ${ELF} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${ELF}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(bad "")
foreach(line IN LISTS lines)
  # "   30010:\tf200 4800      \tfmovex ...". Lines without a mnemonic continue the
  # previous instruction. Words the disassembler cannot decode show as ".short": the
  # compiler's jump tables (offsets, $FFxx and the like) and our accelerator words, which
  # are checked on their own.
  if(line MATCHES "^ *([0-9a-f]+):\t([0-9a-f][0-9a-f][0-9a-f][0-9a-f])[^\t]*\t([^\t]*)")
    set(word ${CMAKE_MATCH_2})
    set(mnemonic ${CMAKE_MATCH_3})
    if(word MATCHES "^f" AND NOT mnemonic MATCHES "^\\.")
      string(APPEND bad "${line}\n")
    elseif(word MATCHES "^ab")
      list(FIND ACCEL_WORDS ${word} known)
      if(known LESS 0)
        string(APPEND bad "${line} (accelerator word not on the list)\n")
      endif()
    endif()
  endif()
endforeach()
if(bad)
  message(FATAL_ERROR "Instructions the guest system must not hold:\n${bad}")
endif()
