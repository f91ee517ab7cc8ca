kaldo_fuzz(counter LIBS kaldo_production SOURCES CounterFuzz.cpp)
