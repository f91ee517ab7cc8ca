kaldo_fuzz(drawer_file LIBS kaldo_sim SOURCES DrawerFileFuzz.cpp)
