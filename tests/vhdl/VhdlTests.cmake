# VHDL simulation of the assembler's ROM and data texts (tests/vhdl). The tests
# are part of rozedov_tests; they look for ghdl when they run and are skipped
# where it is missing. The path found here is tried first.
find_program(ROZEDOV_GHDL_PROGRAM ghdl)
if(ROZEDOV_GHDL_PROGRAM)
  target_compile_definitions(rozedov_tests PRIVATE ROZEDOV_GHDL="${ROZEDOV_GHDL_PROGRAM}")
else()
  message(STATUS "ghdl not found: the VHDL simulation tests will be skipped (apt-get install ghdl)")
endif()
