// The checksums a signal file can ask for on an array field. Each kind is
// one row of parameters (width, poly, init, reflected in and out, xorout)
// as the CRC catalogues give them, with its published check value: the
// checksum of the nine bytes "123456789". xor8 and sum8 are rows too, of
// their own arithmetic.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>

struct ChecksumKind {
    const char* name;       // as the signal file writes it: "crc8-sae-j1850"
    int width;              // bits: 8, 16 or 32
    uint32_t poly, init, xorOut;
    bool reflect;           // reflected in and out (the catalogues' refin = refout)
    uint32_t check;         // of "123456789"
    enum Arithmetic { kCrc, kXor, kSum } arithmetic;
};

// The kinds in the order the docs list them; null when the name is not one.
const ChecksumKind* FindChecksumKind(const std::string& name);
const ChecksumKind* ChecksumKinds(size_t* count);

// "xor8, sum8, crc8, ...": for the loader's error message.
std::string ChecksumKindNames();

uint32_t ComputeChecksum(const ChecksumKind& kind, const uint8_t* bytes, size_t count);
