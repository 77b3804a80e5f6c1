# Script half of vorn_add_program_test (cmake/VornTesting.cmake): runs the program and compares.
# Expects program, emulator, arguments, expected_exit, expected_stdout and expected_stderr.
execute_process(
    COMMAND ${emulator} "${program}" ${arguments}
    RESULT_VARIABLE exit_code
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err)
string(REPLACE "\r\n" "\n" out "${out}")
string(REPLACE "\r\n" "\n" err "${err}")
string(REGEX REPLACE "\n$" "" out "${out}")

set(problems "")
if(NOT exit_code STREQUAL expected_exit)
    string(APPEND problems "exit code ${exit_code}, expected ${expected_exit}\n")
endif()
if(NOT out STREQUAL expected_stdout)
    string(APPEND problems "stdout [${out}]\n  expected [${expected_stdout}]\n")
endif()
if(NOT expected_stderr STREQUAL "" AND NOT err MATCHES "${expected_stderr}")
    string(APPEND problems "stderr [${err}]\n  expected to match [${expected_stderr}]\n")
endif()
if(problems)
    string(JOIN " " command ${emulator} "${program}" ${arguments})
    message(FATAL_ERROR "${command}\n${problems}")
endif()
