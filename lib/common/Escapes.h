// The escape table shared by Send Str (typed escapes -> characters) and the
// incoming string line (characters -> escapes): \n \r \t \a \b, in that order.
#pragma once
#include <stddef.h>
#include <string>

// Whether a byte starts a double-byte character of the code page the text is
// in (IsDBCSLeadByteEx with CP_ACP on Windows: windows/SystemLeadByte.h).
typedef bool (*LeadByteTest)(unsigned char byte);

// Replaces each two-character escape by its character, one pass per escape in
// table order over the whole text. Each pass steps over double-byte
// characters whole, as the platform's multi-byte string functions do: a
// second byte 0x5C is not a backslash.
std::string UnescapeText(const std::string& typed, LeadByteTest isLeadByte);

// Replaces each of the five control characters by its two-character escape,
// one pass per character in table order. No other character is touched.
// Byte by byte: control bytes are never the second byte of a character.
std::string EscapeControlChars(const std::string& text);

// Text as messages and echoes show it: the five escapes of the table, and
// every other control byte (NUL, ESC, DEL...) as \xHH, so that nothing in it
// can move a terminal's cursor, start an escape sequence or end a C string.
// Bytes from 0x80 up are left alone: they are the code page's characters.
std::string EscapeForDisplay(const std::string& text);

// The characters of UTF-8 text a terminal or an editor acts on besides C0
// and DEL: C1 (U+0080-U+009F, CSI U+009B among them) and the bidirectional
// embeddings, overrides and isolates (U+202A-U+202E, U+2066-U+2069), which
// reorder what is shown around them. The length in bytes of one at
// utf8[at], its code point in *point; 0 when none starts there.
size_t HiddenControlAt(const std::string& utf8, size_t at, unsigned* point);

// Whether utf8 holds C0, DEL or one of the hidden controls above: what a
// name, unit or label may not hold, since it could act on the terminal that
// shows it or reorder the line around it.
bool HasControlCharacter(const std::string& utf8);

// UTF-8 text as messages show it: EscapeForDisplay's escapes, and each
// hidden control above as \uXXXX.
std::string EscapeUtf8ForDisplay(const std::string& utf8);

// Input quoted in a message: 'text', escaped as above, at most maxShown
// characters of it; a longer text is cut there (never inside an escape) and
// ends "...' (N bytes)", so a runaway line or argument makes a short message.
const size_t kQuotedInputChars = 80;
std::string QuoteInput(const std::string& text, size_t maxShown = kQuotedInputChars);
