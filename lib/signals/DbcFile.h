// A DBC file (the CAN database format) read into what it says, for the
// importer (signals/DbcImport.h). Pure logic, text in UTF-8 (the caller
// decodes the file first: signals/DbcEncoding.h).
//
// Read: BO_ messages and their SG_ signals (with multiplexing), CM_
// comments (over several lines), VAL_TABLE_ and VAL_ value descriptions,
// SIG_VALTYPE_ float signals, the attributes GenMsgCycleTime and
// GenSigStartValue (BA_, with BA_DEF_DEF_ defaults). Everything else is a
// note at its line: what the file says that was not read (nodes, other
// attributes, signal groups, environment variables, extended multiplexing,
// sections not known). A mistake in the grammar is an error at
// FILE:LINE:COLUMN; the statement it is in is skipped and reading goes on
// at the next line that begins a known section.
#pragma once
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

enum {
    kMaxDbcBytes = 64 << 20,
    kMaxDbcErrors = 50,
    kDbcExtendedFlag = 0x80000000u,   // bit 31 of a BO_ identifier: a 29-bit identifier
};

struct DbcValueName {
    int64_t raw;
    std::string text;
};

struct DbcSignal {
    std::string name;
    int line = 0, column = 0;
    unsigned startBit = 0, length = 0;   // as DBC counts them: Motorola's start bit is its MSB, sawtooth
    bool motorola = false;               // @0
    bool isSigned = false;               // -
    unsigned floatBits = 0;              // SIG_VALTYPE_: 32 or 64; 0 for an integer
    double factor = 1, offset = 0, min = 0, max = 0;
    std::string unit;
    bool multiplexor = false;            // M (or mNM)
    bool multiplexed = false;            // mN
    uint64_t muxValue = 0;               // N of mN
    std::string comment;
    std::vector<DbcValueName> values;    // VAL_, or the VAL_TABLE_ it names
    int valuesLine = 0;
    bool hasStartValue = false;
    double startValue = 0;               // GenSigStartValue: raw
    int startValueLine = 0;
};

struct DbcMessage {
    uint32_t id = 0;                     // as the file writes it: bit 31 set for a 29-bit identifier
    std::string name;
    unsigned dlc = 0;
    int line = 0, column = 0;
    std::vector<DbcSignal> signals;
    std::string comment;
    int commentLine = 0;
    bool hasCycle = false;
    double cycleMs = 0;                  // GenMsgCycleTime
    int cycleLine = 0;
};

// Something the file says that the reader did not take in.
struct DbcNote {
    int line = 0, column = 0;
    std::string what;
};

struct DbcFile {
    std::vector<DbcMessage> messages;
    std::vector<DbcNote> notes;          // in the file's order
};

// Reads text (UTF-8). False with *errors holding "FILE:LINE:COLUMN: what"
// for each mistake (the first kMaxDbcErrors, then one line saying more were
// left out); *file holds what could be read either way. Linear in the text;
// never throws.
bool ReadDbcFile(const std::string& text, const std::string& fileName, DbcFile* file, std::vector<std::string>* errors);
// What ReadDbcFile and the matrix reader share: *errors cleared, a text
// over kMaxDbcBytes refused, read run so that nothing it throws escapes.
bool RunDbcReader(const std::string& text, const std::string& fileName, std::vector<std::string>* errors,
                  const std::function<void()>& read);

// Motorola (@0) start bit and length, as DBC counts them, to the signal
// file's big-endian byte (the most significant) and bit (from the lowest bit
// of the field's last byte).
void MotorolaPlace(unsigned startBit, unsigned length, unsigned* byte, unsigned* bit);
// Whether a signal of at least 1 bit, placed as DBC counts (Motorola's start
// bit its MSB), lies within the 64 KiB an array holds.
bool DbcSignalFits(uint64_t startBit, uint64_t length, bool motorola);
