# Fails when the linked guest system holds an F-line instruction (first word $Fxxx), which
# our machine would raise as an exception. Our host-call and accelerator words are A-line;
# each one in the code is checked against the list we emit on purpose.
execute_process(COMMAND ${OBJDUMP} -d --section=.text ${ELF} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${ELF}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(bad "")
foreach(line IN LISTS lines)
  # "   30010:\tf200 4800      \tfmovex ...". Lines without a mnemonic continue the
  # previous instruction; ".short" lines are data (jump tables) the code never executes.
  if(line MATCHES "^ *([0-9a-f]+):\t([0-9a-f][0-9a-f][0-9a-f][0-9a-f])[^\t]*\t([^\t]*)")
    set(word ${CMAKE_MATCH_2})
    set(mnemonic ${CMAKE_MATCH_3})
    if(word MATCHES "^f" AND NOT mnemonic MATCHES "^\\.")
      string(APPEND bad "${line}\n")
    endif()
  endif()
endforeach()
if(bad)
  message(FATAL_ERROR "F-line instructions in the guest system:\n${bad}")
endif()
