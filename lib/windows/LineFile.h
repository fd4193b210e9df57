// A file written in whole lines: lines are kept until Flush() or until the
// buffer is full, then handed to the system in one write, so a process that
// is killed leaves its file ending at a line's end (at most the one line the
// system was writing when the process died torn), never cut inside a buffer.
#pragma once
#include <stddef.h>
#include <string>

class LineFile {
public:
    LineFile() {}
    ~LineFile() { Close(); }
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;

    // Made (emptied if it is there); "-": standard output, in binary. False
    // with errno set when it cannot be made.
    bool Create(const std::string& path);
    // line and a newline; written out when the buffer is full.
    void Add(const std::string& line);
    // What is kept goes out now; false once any write has failed.
    bool Flush();
    // Flushes and closes (standard output stays open); false when anything
    // failed, with errno saying what.
    bool Close();

private:
    int descriptor_ = -1;
    bool ownsDescriptor_ = false;
    bool failed_ = false;
    int error_ = 0;
    std::string pending_;
};
