// Cuts a byte stream into lines with a bound on what it keeps: a line longer
// than the bound is reported as such and its bytes dropped as they come, so
// a 10 MB line costs no more memory than a short one. Pure logic.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>

class LineSplitter {
public:
    explicit LineSplitter(size_t maxLine) : maxLine_(maxLine), number_(0), tooLong_(false), lineBytes_(0) {}

    class Handler {
    public:
        virtual ~Handler() {}
        // A whole line, its newline and a carriage return before it removed;
        // number counts from 1.
        virtual void Line(uint64_t number, const std::string& line) = 0;
        // A line longer than maxLine: bytes is how long it was.
        virtual void TooLong(uint64_t number, uint64_t bytes) = 0;
    };

    void Feed(const char* data, size_t size, Handler* handler);
    // The input ended: a last line without a newline is handed over too.
    void Finish(Handler* handler);

private:
    void EndLine(Handler* handler);

    size_t maxLine_;
    uint64_t number_;
    bool tooLong_;
    uint64_t lineBytes_;
    std::string line_;
};
