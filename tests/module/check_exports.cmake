# Lists the dynamic symbols that LIBRARY defines and compares them with the four entry points.
execute_process(
    COMMAND nm -D --defined-only --format=just-symbols "${LIBRARY}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE symbols)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX REPLACE "\n$" "" symbols "${symbols}")
string(REPLACE "\n" ";" symbols "${symbols}")
list(SORT symbols)
set(expected DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer)
if(NOT symbols STREQUAL expected)
    message(FATAL_ERROR "exported: ${symbols}\nexpected: ${expected}")
endif()
