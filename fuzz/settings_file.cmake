kaldo_fuzz(settings_file LIBS kaldo_core SOURCES SettingsFileFuzz.cpp)
