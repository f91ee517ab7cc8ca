kaldo_fuzz(cli LIBS kaldo_cli_lib SOURCES CliFuzz.cpp)
