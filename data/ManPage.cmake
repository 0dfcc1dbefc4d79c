# cmake -DHELP2MAN=… -DPROGRAM=… -DINCLUDE=… -DVERSION=… -DOUTPUT=… -P ManPage.cmake
# Runs help2man over the built program. "Exit status:" in --help is a heading of its own
# there; help2man would make it a subsection of OPTIONS, so it is lifted to a section.
execute_process(
  COMMAND ${HELP2MAN} --no-info --section 1 --include ${INCLUDE}
          --name "journal of what you do to files, folders and drives"
          --version-string "zelvory ${VERSION}" ${PROGRAM}
  OUTPUT_VARIABLE page
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT page MATCHES "\\.SH OPTIONS")
  message(FATAL_ERROR "help2man could not make the manual page from ${PROGRAM} --help")
endif()
string(REPLACE ".SS \"Exit status:\"" ".SH \"EXIT STATUS\"" page "${page}")
file(WRITE ${OUTPUT} "${page}")
