kaldo_fuzz(hex LIBS kaldo_core SOURCES HexFuzz.cpp)
