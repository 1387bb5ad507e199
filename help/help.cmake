# The help file "cvghelp.chm": compiled from the pages in this folder with
# chmcmd (Debian package fp-utils-3.2.2) and placed beside cvglean. Without
# chmcmd the build stops here rather than ship a program without its help.
find_program(CVG_CHMCMD chmcmd)
if(NOT CVG_CHMCMD)
  message(FATAL_ERROR "chmcmd was not found. It compiles the help file cvghelp.chm "
                      "(Debian package fp-utils-3.2.2; scripts/install-deps installs it).")
endif()

set(CVG_HELP_DIR ${CMAKE_CURRENT_LIST_DIR})
file(GLOB CVG_HELP_SOURCES CONFIGURE_DEPENDS
  ${CVG_HELP_DIR}/*.htm ${CVG_HELP_DIR}/*.hhp ${CVG_HELP_DIR}/*.hhc ${CVG_HELP_DIR}/*.hhk ${CVG_HELP_DIR}/*.css)

# Draws the help's pictures (the tool buttons, the calibration sketch) and
# checks the compiled file: every topic and everything its pages link to.
add_executable(cvghelp-tool ${CVG_HELP_DIR}/HelpTool.cpp)
target_link_libraries(cvghelp-tool PRIVATE cvgui)
target_compile_options(cvghelp-tool PRIVATE ${CVG_WARNINGS})

set(CVG_HELP_WORK ${CMAKE_CURRENT_BINARY_DIR}/help)
add_custom_command(
  OUTPUT ${CVG_HELP_WORK}/cvghelp.chm
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${CVG_HELP_DIR} -DWORK=${CVG_HELP_WORK} -DCHMCMD=${CVG_CHMCMD}
          -DTOOL=$<TARGET_FILE:cvghelp-tool> -P ${CVG_HELP_DIR}/BuildHelp.cmake
  DEPENDS ${CVG_HELP_SOURCES} ${CVG_HELP_DIR}/BuildHelp.cmake cvghelp-tool
  COMMENT "Compiling the help file cvghelp.chm"
  VERBATIM)
add_custom_target(cvghelp ALL
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CVG_HELP_WORK}/cvghelp.chm $<TARGET_FILE_DIR:cvglean>/cvghelp.chm
  DEPENDS ${CVG_HELP_WORK}/cvghelp.chm
  VERBATIM)
add_dependencies(cvglean cvghelp)
