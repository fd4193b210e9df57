// A window program's command line, read from the wide one in UTF-8: every
// character of a file or bus name kept (the system code page's argv would
// turn the ones it cannot hold into others).
#pragma once
#include <string>
#include <vector>

// The arguments after the program's name, each in UTF-8.
std::vector<std::string> CommandLineArguments();
