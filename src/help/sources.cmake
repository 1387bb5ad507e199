# The help viewer and its reader of the compiled help file, the version
# window and the desktop launches.
list(APPEND CVG_GUI_SOURCES
  help/ChmFile.cpp
  help/HelpWindows.cpp
  help/ShellLaunch.cpp
  help/THelpViewer.cpp
  help/TfrmVersion.cpp
)
