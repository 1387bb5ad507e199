# The main window: its layout and view settings, its commands by menu, and the
# set of tool windows it creates at start-up.
list(APPEND CVG_GUI_SOURCES
  shell/Icons.cpp
  shell/TfrmMain.cpp
  shell/TfrmMainActions.cpp
  shell/TfrmMainDocFile.cpp
  shell/TfrmMainDocument.cpp
  shell/TfrmMainEdit.cpp
  shell/TfrmMainSheets.cpp
  shell/TfrmMainView.cpp
  shell/TfrmMainRecent.cpp
  shell/TfrmMainZoom.cpp
  shell/ToolWindows.cpp
)
