kaldo_fuzz(cable LIBS kaldo_core SOURCES CableFuzz.cpp)
