// What a signal file says: per message code its name and signals, found by
// code or by name in a hash, so lookup costs the same in a file of ten
// messages or ten thousand. Pure logic.
//
// A value message has one signal (its 32-bit word, signed or not), a
// string message one (its text), an array message one per
// [[message.field]], none when the file names only the message. A signal's full name is "message.field" for an
// array field, the message's name otherwise.
//
// Where an array field sits. The field covers the bytes byte .. byte+n-1,
// n = ceil((bit + bits) / 8). Those n bytes are read as one unsigned integer
// in the field's byte order, and the field is its bits bits from bit `bit`
// up:
//   little: `byte` is the least significant byte, so `bit` counts from the
//           least significant bit of `byte` upward into the bytes after it
//           (Intel order).
//   big:    `byte` is the most significant byte (Motorola order), so `bit`
//           counts from the least significant bit of the field's LAST byte
//           (byte+n-1) upward toward `byte`. A 12-bit field in the top 12
//           bits of bytes 2-3 is byte 2, bit 4, bits 12; a u16 in bytes 2-3
//           is just byte 2.
// A field within one byte needs no endian; one that spans two bytes or more
// must say it, and bit + bits is at most 64 (a field spans 8 bytes at most). A signed field's raw value is sign-extended from its bits.
// A str field is `length` bytes from `byte` (all the rest of the array when
// not given), its text ending at the first NUL.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <unordered_map>
#include <vector>

#include "protocol/MessageCode.h"
#include "signals/Checksum.h"

enum SignalType { kSignalU8, kSignalU16, kSignalU32, kSignalI8, kSignalI16, kSignalI32,
                  kSignalF32, kSignalF64, kSignalBool, kSignalStr, kSignalU64, kSignalI64 };
enum SignalEndian { kEndianNone, kEndianLittle, kEndianBig };
enum SignalEncoding { kEncodingGbk, kEncodingUtf8 };

// The file's word for a type ("u16"), and back; false for an unknown word.
const char* SignalTypeName(SignalType type);
bool SignalTypeOfName(const std::string& name, SignalType* type);
// The type's natural width in bits (u16 16, bool 1, str 0).
unsigned SignalTypeBits(SignalType type);
bool IsSignedType(SignalType type);
bool IsFloatType(SignalType type);

// A raw value as the bus carries it.
struct SignalRaw {
    bool isFloat = false;
    int64_t integer = 0;
    double real = 0;
};

// Bytes first to last of a payload, both counted.
struct ByteRange {
    unsigned first, last;
};

struct SignalEnumEntry {
    int64_t raw;
    std::string name;
};

struct Signal {
    std::string name;             // full name
    std::string fieldName;        // array fields: the name within the message; empty otherwise
    SignalType type = kSignalI32; // value messages: i32, or u32 when signed = false
    // Array fields only (a value word is a whole 32 bits).
    unsigned byte = 0, bit = 0, bits = 32;
    unsigned length = 0;          // str fields: bytes; 0 = to the end of the array
    SignalEndian endian = kEndianNone;
    SignalEncoding encoding = kEncodingGbk;   // string messages and str fields
    std::string unit;
    double scale = 1, offset = 0;             // physical = raw * scale + offset
    bool hasMin = false, hasMax = false;
    double min = 0, max = 0;                  // physical limits
    std::vector<SignalEnumEntry> enums;       // sorted by raw
    int line = 0, column = 0;                 // where the file states it

    // How a sender writes it (signals/MessageState.h). init: the value
    // before anyone sets it, raw (initText for a str signal, in UTF-8);
    // without it raw 0 and empty text.
    bool hasInit = false;
    SignalRaw init;
    std::string initText;
    bool counter = false;                     // one more on every send, wrapping at its bits
    bool covers = false;                      // array fields: may overlap others (a group of them)
    // Multiplexing (array fields): the message's one selector says which of
    // the multiplexed fields its payload holds. A field with muxValues has a
    // value only when the selector's raw value is one of them (sorted).
    bool mux = false;                         // the selector
    bool muxCycle = false;                    // the selector: a sender goes through its values in turn
    std::vector<int64_t> muxValues;           // empty: in every payload
    const ChecksumKind* checksum = nullptr;   // array fields: computed over checksumBytes on every send
    std::vector<ByteRange> checksumBytes;     // in the order they are summed

    // The enum's name of a raw value; null when none.
    const std::string* EnumName(int64_t raw) const;
    // The enum's raw value of a name (exact case), given as it is or in
    // double quotes; false when none.
    bool EnumRaw(const std::string& name, int64_t* raw) const;
    // Whether a payload whose selector is raw holds this field.
    bool SelectedBy(int64_t raw) const;
    // The bytes an array field covers (n above); str fields their length.
    unsigned SpanBytes() const;
    // The bits an array field holds in one byte of its span, as a mask
    // (0xff for a str field).
    unsigned BitsInByte(unsigned payloadByte) const;
    // The smallest and largest raw value of an integer or bool signal. A
    // u64's raw values are held as their bits: those above INT64_MAX read
    // as negative, so its highest here is INT64_MAX.
    void RawLimits(int64_t* lowest, int64_t* highest) const;
};

struct SignalMessage {
    uint32_t code = 0;
    MessageKind kind = kValueMessage;
    std::string name;
    std::string comment;
    uint64_t periodMicros = 0;    // the expected cycle; 0 = none given
    std::vector<Signal> signals;
    int line = 0, column = 0;
    // The signal that counts and the field that checks, as indexes into
    // signals; -1 for none (a message has at most one of each).
    int counterIndex = -1, checksumIndex = -1;
    int muxIndex = -1;            // the selector field; -1 for none

    // The values a selector with muxCycle goes through: every value some
    // field's muxValues names, sorted, each once; empty without a selector.
    std::vector<int64_t> MuxCycleValues() const;

    // An array field by its name within the message; null when none.
    const Signal* FindField(const std::string& fieldName) const;
};

// A signal and the message it belongs to.
struct SignalRef {
    const SignalMessage* message;
    const Signal* signal;
};

class SignalDatabase {
public:
    // Takes the messages as the loader checked them: codes and names unique.
    void Assign(std::vector<SignalMessage> messages);

    const std::vector<SignalMessage>& Messages() const { return messages_; }
    size_t SignalCount() const { return signalCount_; }

    const SignalMessage* FindCode(uint32_t code) const;
    const SignalMessage* FindMessage(const std::string& name) const;
    // A signal by full name ("motor.speed", "pump.status.pressure"); message and
    // signal null when none.
    SignalRef FindSignal(const std::string& fullName) const;

private:
    std::vector<SignalMessage> messages_;
    std::unordered_map<uint32_t, size_t> byCode_;
    std::unordered_map<std::string, size_t> byMessageName_;
    std::unordered_map<std::string, std::pair<size_t, size_t>> bySignalName_;
    size_t signalCount_ = 0;
};
