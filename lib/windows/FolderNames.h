// The folders as Windows has them, for formats/SeriesFiles.h: paths in a
// code page (the system's for velkctl, UTF-8 for the window programs).
#pragma once
#include <stdio.h>
#include <string>
#include <vector>

#include "formats/SeriesFiles.h"

class WindowsFolders : public FolderView {
public:
    explicit WindowsFolders(unsigned codePage) : codePage_(codePage) {}
    Kind KindOf(const std::string& path) const override;
    bool Names(const std::string& folder, std::vector<std::string>* names, std::string* why) const override;

private:
    unsigned codePage_;
};

// Opens path (in codePage) "rb" for a series' reader: null with why.
FILE* OpenPartFile(const std::string& path, unsigned codePage, std::string* why);
