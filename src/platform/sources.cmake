list(APPEND CVG_CORE_SOURCES
  platform/FileIO.cpp
  platform/SettingsStore.cpp
)
list(APPEND CVG_GUI_SOURCES
)
