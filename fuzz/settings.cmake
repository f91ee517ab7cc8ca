kaldo_fuzz(settings LIBS kaldo_core SOURCES SettingsFuzz.cpp)
