// --bus NAME as it was typed. velkctl's argv has been through the system code
// page, which turns a character it cannot hold into '?', so two names would
// reach the library as one; the wide command line still holds the name.
#pragma once
#include <string>

// Names the bus for the library (VELK_BUS_NAME) as typed: the --bus value of
// the wide command line whose conversion is parsed (the program's reading
// of it, in the system code page as velkctl's and velkscope's argv, or in
// UTF-8 as velkpanel's); parsed itself when none is. The library refuses a
// name the code page cannot hold.
void SetBusName(const std::string& parsed);
