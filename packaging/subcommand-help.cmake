# Writes a help2man include file (cmake -P, with HALVO and OUTPUT set): the --help of each
# subcommand as a section of the man page, laid out as the program prints it.
set(_text "[COMMANDS]\n")
foreach(_cmd "run" "coefficients" "coefficients show" "coefficients export" "coefficients import"
        "coefficients merge" "report")
  separate_arguments(_args UNIX_COMMAND "${_cmd} --help")
  execute_process(COMMAND ${HALVO} ${_args} OUTPUT_VARIABLE _help RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "halvo ${_cmd} --help failed (${_rc})")
  endif()
  # The program as users call it, and a blank line before the usage that follows the description.
  string(REPLACE "${HALVO}" "halvo" _help "${_help}")
  string(REPLACE "\nUsage:" "\n\nUsage:" _help "${_help}")
  # roff: a backslash is \e, and a line must not start a request with "." or "'".
  string(REPLACE "\\" "\\e" _help "${_help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" _help "${_help}")
  string(REPLACE "-" "\\-" _help "${_help}")
  string(APPEND _text ".SS \"halvo ${_cmd}\"\n.nf\n${_help}.fi\n")
endforeach()
file(WRITE ${OUTPUT} "${_text}")
