// Which files a recording named to a reader stands for, so every reader
// opens a series of parts (formats/RecordParts.h) the same way:
// - a folder: the parts of the one series in it;
// - a name with * or ? in its last piece: the files it matches in their
//   folder, a series' parts in the order of their numbers, others by name;
// - a part ("run-0003.txt"): it and the parts after it in its folder;
// - a name that is no file but whose parts are there ("run.txt", the FILE
//   record --split was given): its parts;
// - any other name: that file alone.
// Pure logic: the folders are looked at through a FolderView.
#pragma once
#include <string>
#include <vector>

class FolderView {
public:
    enum Kind { kMissing, kFile, kFolder };
    virtual ~FolderView() {}
    virtual Kind KindOf(const std::string& path) const = 0;
    // The names of the files in folder (as given, "" for the current one),
    // without the folder; false with why in *why.
    virtual bool Names(const std::string& folder, std::vector<std::string>* names, std::string* why) const = 0;
};

// Whether name (no folder) matches pattern's * (any run) and ? (any one
// character), letters in either case.
bool MatchesWildcard(const std::string& pattern, const std::string& name);

// The files in order, at least one; false with a message in *error (a
// pattern that matches nothing, a folder of no or several series).
bool FindRecordingFiles(const std::string& named, const FolderView& view, std::vector<std::string>* files,
                        std::string* error);
