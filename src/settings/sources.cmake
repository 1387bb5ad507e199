# The settings values of every window, read and written by the exact-size
# rule, and the data directory dialog.
list(APPEND CVG_CORE_SOURCES
  settings/SettingsRecords.cpp
)
list(APPEND CVG_GUI_SOURCES
  settings/TfDirectory.cpp
)
