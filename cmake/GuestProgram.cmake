# Assembles m68k guest programs into flat binaries loaded at $30000.
find_program(M68K_AS m68k-linux-gnu-as REQUIRED)
find_program(M68K_LD m68k-linux-gnu-ld REQUIRED)
find_program(M68K_OBJCOPY m68k-linux-gnu-objcopy REQUIRED)

set(ZEM_GUEST_INCLUDE_DIR ${CMAKE_SOURCE_DIR}/guest/include CACHE INTERNAL "")

# zem_guest_program(<target> <source.s> [OUTPUT_DIR dir])
# Produces <dir>/<target>.bin (default: ${CMAKE_BINARY_DIR}/guest-bin) and a custom target <target>.
function(zem_guest_program target source)
  cmake_parse_arguments(ARG "" "OUTPUT_DIR" "" ${ARGN})
  if(NOT ARG_OUTPUT_DIR)
    set(ARG_OUTPUT_DIR ${CMAKE_BINARY_DIR}/guest-bin)
  endif()
  get_filename_component(src ${source} ABSOLUTE)
  set(obj ${CMAKE_CURRENT_BINARY_DIR}/${target}.o)
  set(elf ${CMAKE_CURRENT_BINARY_DIR}/${target}.elf)
  set(bin ${ARG_OUTPUT_DIR}/${target}.bin)
  get_filename_component(src_dir ${src} DIRECTORY)
  file(GLOB includes ${ZEM_GUEST_INCLUDE_DIR}/*.inc ${src_dir}/*.inc)
  add_custom_command(
    OUTPUT ${bin}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ARG_OUTPUT_DIR}
    COMMAND ${M68K_AS} -m68020 -I ${ZEM_GUEST_INCLUDE_DIR} -I ${src_dir} -I ${CMAKE_CURRENT_SOURCE_DIR} -o ${obj} ${src}
    COMMAND ${M68K_LD} -Ttext=0x30000 -e 0x30000 -o ${elf} ${obj}
    COMMAND ${M68K_OBJCOPY} -O binary ${elf} ${bin}
    DEPENDS ${src} ${includes}
    COMMENT "Assembling guest program ${target}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${bin})
  set_property(TARGET ${target} PROPERTY GUEST_BINARY ${bin})
endfunction()

# zem_guest_test_programs(<test target> <prefix> <dir> <name>...)
# Assembles <dir>/<name>.s as target <prefix>_<name> for each name, makes the test
# depend on it and hands its path to the test as the macro GUEST_<NAME>.
function(zem_guest_test_programs test prefix dir)
  foreach(g IN LISTS ARGN)
    zem_guest_program(${prefix}_${g} ${dir}/${g}.s)
    add_dependencies(${test} ${prefix}_${g})
    string(TOUPPER ${g} upper)
    get_property(bin TARGET ${prefix}_${g} PROPERTY GUEST_BINARY)
    target_compile_definitions(${test} PRIVATE GUEST_${upper}="${bin}")
  endforeach()
endfunction()
