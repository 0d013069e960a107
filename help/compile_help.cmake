# Runs chmcmd on the help project in OUTPUT_DIR, where it writes
# Ravelin.chm, and keeps its notes in chmcmd.log there. A run that writes no
# help file stops the build with those notes.
#   cmake -DCHMCMD=... -DPROJECT_FILE=.../Ravelin.hhp -DOUTPUT_DIR=... -P compile_help.cmake
set(help_file ${OUTPUT_DIR}/Ravelin.chm)
file(REMOVE ${help_file})
execute_process(
  COMMAND ${CHMCMD} ${PROJECT_FILE}
  WORKING_DIRECTORY ${OUTPUT_DIR}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE notes
  ERROR_VARIABLE notes)
file(WRITE ${OUTPUT_DIR}/chmcmd.log "${notes}")
if(NOT result EQUAL 0 OR NOT EXISTS ${help_file})
  message(FATAL_ERROR "chmcmd did not write ${help_file} (exit ${result}):\n${notes}")
endif()
