list(APPEND CVG_CORE_SOURCES
  shell/Document.cpp
  shell/DocumentState.cpp
  shell/PointMarkers.cpp
  shell/SettingsRecords.cpp
)
list(APPEND CVG_GUI_SOURCES
  shell/HelpWindows.cpp
  shell/Icons.cpp
  shell/TfDeform.cpp
  shell/TfImage.cpp
  shell/TfMagnification.cpp
  shell/TfEditData.cpp
  shell/TfrmMainEdit.cpp
  shell/TfrmMain.cpp
  shell/TfrmMainActions.cpp
  shell/TfrmMainDocFile.cpp
  shell/TfrmMainDocument.cpp
  shell/TfrmMainSheets.cpp
  shell/TfrmScope.cpp
  shell/TSheetGrid.cpp
  shell/ToolWindows.cpp
  shell/TraceWindows.cpp
  shell/ViewWindows.cpp
  shell/TPictureView.cpp
  shell/TToolWindow.cpp
)
