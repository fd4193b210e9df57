// A string payload as readable text: its bytes decoded from the system code
// page (GBK on a Chinese Windows) to UTF-8, for monitor's JSON lines and
// the CSV of export. Pure logic: the decoding itself comes through CodePage,
// MultiByteToWideChar on Windows (windows/SystemCodePage.h).
#pragma once
#include <stddef.h>
#include <string>

// The code page the bytes are in.
struct CodePage {
    unsigned maxCharBytes;                     // the longest character: 1, 2 (GBK) or 4 (UTF-8)
    bool (*isLeadByte)(unsigned char byte);    // starts a two-byte character (maxCharBytes 2)
    // The UTF-16 of count bytes; false when they are not whole, valid
    // characters of the code page.
    bool (*decode)(const char* bytes, size_t count, std::u16string* text);
};

// The text in UTF-8, escaped as messages show text: the console's escapes
// \n \r \t \a \b for those five control characters, \xhh for every other
// control character (\x00, \x1b, \x7f) and for every byte that is no
// character of the code page (\xff, or a lead byte without its second byte),
// \uXXXX for C1 controls and bidirectional overrides (common/Escapes.h).
// The result holds no control character, whatever the bytes.
std::string PayloadText(const std::string& bytes, const CodePage& codePage);

// A line in the code page as a terminal is handed it: the same bytes but
// for what could act on the terminal, each written as \xhh (the console's
// five escapes for their characters): C0 controls and DEL, characters that
// are C1 controls or bidirectional controls, and bytes that are no
// character of the code page.
std::string EscapeLineControls(const std::string& line, const CodePage& codePage);
