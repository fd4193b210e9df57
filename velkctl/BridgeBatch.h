// Several bridge lines in one: what velkctl bridge writes when the bus
// delivers faster than single lines go out, so that one MQTT message (one
// publish, one trip through the broker and the clients) carries many bus
// messages. Pure logic.
//
//   {"batch":[LINE,LINE,...]}
//
// where each LINE is a bridge line exactly as written alone (its origin,
// run and seq in it). A lone line is written as it is, never as a batch of one.
#pragma once
#include <stddef.h>
#include <string>
#include <vector>

#include "common/JsonObject.h"

// A batch holds at most this many bytes of lines (a line longer than that
// goes in one of its own), so a batch stays well within the 1 MiB a reader
// takes in one line.
const size_t kMaxBatchBytes = 256u << 10;
// --batch: the most messages in one line, and its default.
enum { kMaxBatchLines = 1000, kDefaultBatchLines = 100 };

class BridgeBatch {
public:
    // maxLines: 1 to kMaxBatchLines.
    explicit BridgeBatch(size_t maxLines) : maxLines_(maxLines) {}

    // Whether line may join what waits, or what waits must go out first.
    bool Fits(const std::string& line) const;
    void Add(const std::string& line);
    // Full: it must go out before another line comes.
    bool Full() const { return count_ >= maxLines_ || joined_.size() >= kMaxBatchBytes; }
    size_t Count() const { return count_; }
    // The line to write for what waits (one line alone, else the batch),
    // emptied.
    std::string Take();

private:
    size_t maxLines_;
    size_t count_ = 0;
    std::string joined_;     // the lines, comma-separated
};

// The lines of a batch line's members: false when the object has no
// "batch"; true and its elements' texts in order otherwise (each to be read
// as a line, so an element that is no object is refused on its own), none
// when "batch" is not a non-empty array (*error says why).
bool BatchElements(const std::vector<JsonMember>& members, std::vector<std::string>* lines, std::string* error);
