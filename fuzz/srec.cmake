kaldo_fuzz(srec LIBS kaldo_core SOURCES SRecordFuzz.cpp)
