# zem_label_discovered_tests(<target> <label>...): gives every test that gtest_discover_tests
# finds in <target> these labels. gtest_discover_tests passes its PROPERTIES on as a flat
# list, so LABELS "a;b" there would make b a property name; the labels are set instead by a
# script that CTest reads after the discovered tests.
function(zem_label_discovered_tests target)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_labels.cmake)
  file(WRITE ${script} "if(${target}_TESTS)\n  set_tests_properties(\${${target}_TESTS} PROPERTIES LABELS \"${ARGN}\")\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()
