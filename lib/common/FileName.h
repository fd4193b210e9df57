// The name Windows gives a file made at a path: it drops the dots and
// spaces that end the path's last part ("trail." makes "trail"), so a
// program that names the file it made says that name. Pure logic.
#pragma once
#include <string>

// path without the dots and spaces at its end; a last part of nothing else
// (".", "..") is left as it is.
std::string FileNameAsMade(const std::string& path);
