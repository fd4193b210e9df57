// The recordings open in one velkscope window, in the order they were
// opened: each one's token (the stretch reader's answers name it; never
// given twice, even after a close), its source in the model, its path and
// whether its traces have been chosen. At most kMaxRecordings are open.
// What the window holds for each (its open file, its reading thread) rides
// along as `Open`, so this bookkeeping stays pure.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "velkscope/RecordingBudget.h"

template <typename Open>
class RecordingSet {
public:
    struct Recording {
        uintptr_t token;
        size_t source;                    // in the model
        std::wstring path;
        bool ticked;                      // its traces are chosen: none are ticked by default
        Open open;
    };

    // Whether one more may be opened; false with why in *why (a catalogue key).
    bool Room(std::string* why) const { return RoomForRecording(recordings_.size(), why); }

    // The recording of `source` at `path`, with a token of its own; null
    // with why in *why when the set is full.
    Recording* Add(size_t source, const std::wstring& path, Open open, std::string* why)
    {
        if (!Room(why))
            return nullptr;
        recordings_.push_back(Recording{ nextToken_++, source, path, false, std::move(open) });
        return &recordings_.back();
    }

    // The recordings after the one closed are numbered one less.
    void Close(uintptr_t token)
    {
        recordings_.erase(std::remove_if(recordings_.begin(), recordings_.end(),
                                         [token](const Recording& r) { return r.token == token; }),
                          recordings_.end());
    }
    void Clear() { recordings_.clear(); }   // tokens go on counting

    Recording* BySource(size_t source) { return Find([source](const Recording& r) { return r.source == source; }); }
    Recording* ByToken(uintptr_t token) { return Find([token](const Recording& r) { return r.token == token; }); }

    // Its number as a workspace counts the recordings: 1 for the first
    // open, 0 for a source that is none of them (the bus).
    size_t NumberOf(size_t source) const
    {
        for (size_t r = 0; r < recordings_.size(); ++r) {
            if (recordings_[r].source == source)
                return r + 1;
        }
        return 0;
    }
    // The one a workspace numbers `number`; null for 0 or past the last.
    Recording* Numbered(size_t number)
    {
        return number == 0 || number > recordings_.size() ? nullptr : &recordings_[number - 1];
    }

    size_t Size() const { return recordings_.size(); }
    bool Empty() const { return recordings_.empty(); }
    Recording& Last() { return recordings_.back(); }
    typename std::vector<Recording>::iterator begin() { return recordings_.begin(); }
    typename std::vector<Recording>::iterator end() { return recordings_.end(); }
    typename std::vector<Recording>::const_iterator begin() const { return recordings_.begin(); }
    typename std::vector<Recording>::const_iterator end() const { return recordings_.end(); }

private:
    template <typename Match>
    Recording* Find(Match match)
    {
        auto found = std::find_if(recordings_.begin(), recordings_.end(), match);
        return found != recordings_.end() ? &*found : nullptr;
    }

    std::vector<Recording> recordings_;
    uintptr_t nextToken_ = 1;
};
