# The settings values of every window, read and written by the exact-size rule.
list(APPEND CVG_CORE_SOURCES
  settings/SettingsRecords.cpp
)
list(APPEND CVG_GUI_SOURCES
)
