# Writes the kaldo-cli man page: the program's own --help text inside the sections of a man page.
#   cmake -DPROGRAM=<kaldo-cli> -DTEMPLATE=<kaldo-cli.1.in> -DOUTPUT=<kaldo-cli.1> -P ManPage.cmake
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE HELP RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed (${result})")
endif()
# The version the program itself shows: "KALDO Version 3.0 (git ...)" gives 3.0.
execute_process(COMMAND ${PROGRAM} --version OUTPUT_VARIABLE version_line RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT version_line MATCHES "Version ([0-9.]+)")
  message(FATAL_ERROR "${PROGRAM} --version failed (${result}): ${version_line}")
endif()
set(VERSION ${CMAKE_MATCH_1})
# roff: a backslash is written \e, and a line must not begin with a control character.
string(REPLACE "\\" "\\e" HELP "${HELP}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" HELP "${HELP}")
string(REGEX REPLACE "\n+$" "" HELP "${HELP}")
# The table of exit statuses, the help text's last part, as the EXIT STATUS section's entries:
# "  1  failed" heads an entry, the lines indented further are its text.
string(FIND "${HELP}" "\nExit status" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${PROGRAM} --help lists no exit statuses")
endif()
string(SUBSTRING "${HELP}" ${at} -1 OUTCOMES)
string(REGEX REPLACE "^\n[^\n]*\n" "" OUTCOMES "${OUTCOMES}")
string(REGEX REPLACE "(^|\n)      ([.'])" "\\1      \\\\&\\2" OUTCOMES "${OUTCOMES}")
string(REGEX REPLACE "(^|\n)      " "\\1" OUTCOMES "${OUTCOMES}")
string(REGEX REPLACE "(^|\n)  ([^ \n][^\n]*)" "\\1.TP\n.B \\2" OUTCOMES "${OUTCOMES}")
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
