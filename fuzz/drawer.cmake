kaldo_fuzz(drawer LIBS kaldo_sim SOURCES DrawerFuzz.cpp)
