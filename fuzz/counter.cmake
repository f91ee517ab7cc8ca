kaldo_fuzz(counter LIBS kaldo_core SOURCES CounterFuzz.cpp)
