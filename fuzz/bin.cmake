kaldo_fuzz(bin LIBS kaldo_core SOURCES BinFuzz.cpp)
