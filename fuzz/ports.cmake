kaldo_fuzz(ports LIBS kaldo_link kaldo_core SOURCES PortsFuzz.cpp)
