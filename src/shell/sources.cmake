list(APPEND CVG_CORE_SOURCES
  shell/Document.cpp
  shell/DocumentState.cpp
  shell/SettingsRecords.cpp
)
list(APPEND CVG_GUI_SOURCES
)
