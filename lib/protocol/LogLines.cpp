#include "protocol/LogLines.h"

#include "common/Escapes.h"
#include "protocol/MessageCode.h"
#include "common/FormatText.h"

namespace {

enum {
    kShownStringBytes = 54,   // of an incoming text, cut before escaping
    kShownArrayBytes = 18,    // of an incoming array
};

void AppendBytes(std::string& line, const unsigned char* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        line += FormatText(" %02X", static_cast<unsigned>(bytes[i]));
}

// Codes and lengths are 32-bit on the bus; print them so whatever the width of long.
unsigned AsUnsigned(uint32_t code) { return static_cast<unsigned>(code); }

int32_t LowWordAsSigned(intptr_t dataWord)
{
    uint32_t low = static_cast<uint32_t>(static_cast<uintptr_t>(dataWord));
    if (low <= 0x7FFFFFFFu)
        return static_cast<int32_t>(low);
    return -static_cast<int32_t>(~low) - 1;   // two's complement without overflow
}

int LengthOf(const std::string& text)
{
    return text.size() > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(text.size());
}

// The NUL-terminated text at address, never read beyond maxBytes.
std::string CutText(const char* text, size_t maxBytes)
{
    size_t length = 0;
    while (length < maxBytes && text[length] != '\0')
        ++length;
    return std::string(text, length);
}

std::string IncomingString(uint32_t code, intptr_t dataWord, PayloadFetcher fetch, void* context)
{
    int32_t length = 0;
    std::string text;
    if (fetch != nullptr) {
        const char* address = static_cast<const char*>(fetch(context, dataWord, &length));
        if (address != nullptr)
            text = CutText(address, kShownStringBytes);
    }
    std::string line = FormatText("%x[%3d] ", AsUnsigned(code), static_cast<int>(length));
    line += text;
    return EscapeControlChars(line);
}

std::string IncomingArray(uint32_t code, intptr_t dataWord, PayloadFetcher fetch, void* context)
{
    int32_t length = 0;
    const unsigned char* bytes = nullptr;
    if (fetch != nullptr)
        bytes = static_cast<const unsigned char*>(fetch(context, dataWord, &length));
    std::string line = FormatText("%x(%3d) ", AsUnsigned(code), static_cast<int>(length));
    // A negative length compares as a large unsigned one: it shows the full 18.
    uint32_t shown = static_cast<uint32_t>(length);
    if (shown > kShownArrayBytes)
        shown = kShownArrayBytes;
    if (bytes != nullptr)
        AppendBytes(line, bytes, shown);
    return line;
}

} // namespace

std::string FormatSentValue(uint32_t code, uint32_t value)
{
    return FormatText("%x      %x", AsUnsigned(code), AsUnsigned(value));
}

std::string FormatSentString(uint32_t code, const std::string& typedText)
{
    std::string line = FormatText("%x(%3d) ", AsUnsigned(code), LengthOf(typedText));
    line += typedText;
    return line;
}

std::string FormatSentArray(uint32_t code, const unsigned char* bytes, int count)
{
    std::string line = FormatText("%x(%3d)", AsUnsigned(code), count);
    if (bytes != nullptr && count > 0)
        AppendBytes(line, bytes, static_cast<size_t>(count));
    return line;
}

std::string FormatIncomingLine(uint32_t delta, uint32_t code, intptr_t dataWord,
                               PayloadFetcher fetch, void* context)
{
    return FormatText("%05u ", delta) + FormatIncomingBody(code, dataWord, fetch, context);
}

std::string FormatIncomingBody(uint32_t code, intptr_t dataWord, PayloadFetcher fetch, void* context)
{
    switch (ClassifyCode(code)) {
    case kStringPayload:
        return IncomingString(code, dataWord, fetch, context);
    case kArrayPayload:
        return IncomingArray(code, dataWord, fetch, context);
    case kValueMessage:
        break;
    }
    return FormatText("%x      %d", AsUnsigned(code), static_cast<int>(LowWordAsSigned(dataWord)));
}
