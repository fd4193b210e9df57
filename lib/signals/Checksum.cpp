#include "signals/Checksum.h"

namespace {

// crc8 is the catalogue's CRC-8 (SMBus), crc16-ccitt its CRC-16/IBM-3740
// (the "CCITT-FALSE" most devices mean), crc32 its CRC-32/ISO-HDLC.
const ChecksumKind kKinds[] = {
    { "xor8", 8, 0, 0, 0, false, 0x31, ChecksumKind::kXor },
    { "sum8", 8, 0, 0, 0, false, 0xDD, ChecksumKind::kSum },
    { "crc8", 8, 0x07, 0x00, 0x00, false, 0xF4, ChecksumKind::kCrc },
    { "crc8-sae-j1850", 8, 0x1D, 0xFF, 0xFF, false, 0x4B, ChecksumKind::kCrc },
    { "crc16-ccitt", 16, 0x1021, 0xFFFF, 0x0000, false, 0x29B1, ChecksumKind::kCrc },
    { "crc16-modbus", 16, 0x8005, 0xFFFF, 0x0000, true, 0x4B37, ChecksumKind::kCrc },
    { "crc32", 32, 0x04C11DB7, 0xFFFFFFFF, 0xFFFFFFFF, true, 0xCBF43926, ChecksumKind::kCrc },
};

uint32_t Reflect(uint32_t value, int bits)
{
    uint32_t out = 0;
    for (int i = 0; i < bits; ++i, value >>= 1)
        out = (out << 1) | (value & 1);
    return out;
}

uint32_t Mask(int width)
{
    return width == 32 ? 0xFFFFFFFFu : (1u << width) - 1;
}

// Bit by bit, most significant first; a reflected kind reflects each byte
// in and the result out. Payloads are at most 64 KiB, so no table is needed.
uint32_t Crc(const ChecksumKind& kind, const uint8_t* bytes, size_t count)
{
    const uint32_t top = 1u << (kind.width - 1), mask = Mask(kind.width);
    uint32_t crc = kind.init;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t byte = kind.reflect ? Reflect(bytes[i], 8) : bytes[i];
        crc ^= byte << (kind.width - 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & top) ? ((crc << 1) ^ kind.poly) & mask : (crc << 1) & mask;
    }
    if (kind.reflect)
        crc = Reflect(crc, kind.width);
    return (crc ^ kind.xorOut) & mask;
}

} // namespace

const ChecksumKind* ChecksumKinds(size_t* count)
{
    *count = sizeof kKinds / sizeof kKinds[0];
    return kKinds;
}

const ChecksumKind* FindChecksumKind(const std::string& name)
{
    for (const ChecksumKind& kind : kKinds)
        if (name == kind.name)
            return &kind;
    return nullptr;
}

std::string ChecksumKindNames()
{
    std::string names;
    for (const ChecksumKind& kind : kKinds)
        names += (names.empty() ? "" : ", ") + std::string(kind.name);
    return names;
}

uint32_t ComputeChecksum(const ChecksumKind& kind, const uint8_t* bytes, size_t count)
{
    uint32_t value = 0;
    switch (kind.arithmetic) {
    case ChecksumKind::kXor:
        for (size_t i = 0; i < count; ++i)
            value ^= bytes[i];
        return value;
    case ChecksumKind::kSum:
        for (size_t i = 0; i < count; ++i)
            value += bytes[i];
        return value & 0xFF;
    case ChecksumKind::kCrc:
        break;
    }
    return Crc(kind, bytes, count);
}
