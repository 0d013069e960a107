# Runs chmcmd on the help project in OUTPUT_DIR, where it writes
# Ravelin.chm, and keeps its notes in chmcmd.log there. The pages are first
# copied to OUTPUT_DIR/pages with @RAVELIN_VERSION_SHORT@ replaced by
# VERSION_SHORT. A run that writes no help file stops the build with those
# notes.
#   cmake -DCHMCMD=... -DPROJECT_FILE=.../Ravelin.hhp -DOUTPUT_DIR=... -DVERSION_SHORT=1.5
#         -P compile_help.cmake
set(help_file ${OUTPUT_DIR}/Ravelin.chm)
file(REMOVE ${help_file})
get_filename_component(source_dir ${PROJECT_FILE} DIRECTORY)
get_filename_component(project_name ${PROJECT_FILE} NAME)
set(pages_dir ${OUTPUT_DIR}/pages)
file(REMOVE_RECURSE ${pages_dir})
set(RAVELIN_VERSION_SHORT ${VERSION_SHORT})
file(GLOB sources ${source_dir}/*.hh? ${source_dir}/*.html ${source_dir}/*.css)
foreach(source IN LISTS sources)
  get_filename_component(name ${source} NAME)
  configure_file(${source} ${pages_dir}/${name} @ONLY)
endforeach()
execute_process(
  COMMAND ${CHMCMD} ${pages_dir}/${project_name}
  WORKING_DIRECTORY ${OUTPUT_DIR}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE notes
  ERROR_VARIABLE notes)
file(WRITE ${OUTPUT_DIR}/chmcmd.log "${notes}")
if(NOT result EQUAL 0 OR NOT EXISTS ${help_file})
  message(FATAL_ERROR "chmcmd did not write ${help_file} (exit ${result}):\n${notes}")
endif()
