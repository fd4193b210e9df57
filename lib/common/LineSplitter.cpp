#include "common/LineSplitter.h"

#include <string.h>

void LineSplitter::Feed(const char* data, size_t size, Handler* handler)
{
    while (size > 0) {
        const char* newline = static_cast<const char*>(memchr(data, '\n', size));
        size_t take = newline != NULL ? static_cast<size_t>(newline - data) : size;
        lineBytes_ += take;
        // One byte more than the bound may be a carriage return to drop.
        if (!tooLong_ && line_.size() + take > maxLine_ + 1)
            tooLong_ = true;
        if (tooLong_)
            line_.clear();
        else
            line_.append(data, take);
        if (newline == NULL)
            return;
        EndLine(handler);
        data += take + 1;
        size -= take + 1;
    }
}

void LineSplitter::Finish(Handler* handler)
{
    if (lineBytes_ != 0 || tooLong_)
        EndLine(handler);
}

void LineSplitter::EndLine(Handler* handler)
{
    ++number_;
    if (!tooLong_ && !line_.empty() && line_.back() == '\r')
        line_.pop_back();
    if (tooLong_ || line_.size() > maxLine_)
        handler->TooLong(number_, lineBytes_);
    else
        handler->Line(number_, line_);
    line_.clear();
    tooLong_ = false;
    lineBytes_ = 0;
}
