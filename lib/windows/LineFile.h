// A file written in whole lines: lines are kept until Flush() or until the
// buffer is full, then handed to the system in one write, so a process that
// is killed leaves its file ending at a line's end (at most the one line the
// system was writing when the process died torn), never cut inside a buffer.
// A write that fails part way (a full disk) cuts the file back to the end
// of the last Add that went out whole.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

class LineFile {
public:
    LineFile() {}
    ~LineFile() { Close(); }
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;

    // Made (emptied if it is there); "-": standard output, in binary. False
    // with errno set when it cannot be made.
    bool Create(const std::string& path);
    // lines (one, or several joined by '\n') and a newline, kept together:
    // they reach the file whole or not at all. Written out when the buffer
    // is full.
    void Add(const std::string& lines);
    // What is kept goes out now; false once any write has failed.
    bool Flush();
    // Flushes and closes (standard output stays open); false when anything
    // failed, with errno saying what (ENOSPC for a full disk).
    bool Close();

    bool Failed() const { return failed_; }
    // Adds so far, and those whose lines are all in the file.
    uint64_t Added() const { return added_; }
    uint64_t Written() const { return written_; }
    // What the failure was: "disk full", or the system's words.
    std::string ErrorText() const;

private:
    void Fail(unsigned long systemError);

    int descriptor_ = -1;
    bool ownsDescriptor_ = false;
    bool failed_ = false;
    int error_ = 0;                  // errno of the failure
    bool diskFull_ = false;
    std::string pending_;
    std::vector<size_t> ends_;       // where each Add kept in pending_ ends
    uint64_t fileBytes_ = 0;         // bytes of whole Adds in the file
    uint64_t added_ = 0, written_ = 0;
};
