#include <gtest/gtest.h>

#include "signals/Checksum.h"

TEST(Checksum, EveryKindGivesItsPublishedCheckValue)
{
    const uint8_t nine[] = { '1', '2', '3', '4', '5', '6', '7', '8', '9' };
    size_t count = 0;
    const ChecksumKind* kinds = ChecksumKinds(&count);
    ASSERT_EQ(count, 7u);
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(ComputeChecksum(kinds[i], nine, sizeof nine), kinds[i].check) << kinds[i].name;
        EXPECT_EQ(FindChecksumKind(kinds[i].name), &kinds[i]);
    }
    // The check values themselves, as the catalogues publish them, so that a
    // wrong row cannot agree with itself.
    EXPECT_EQ(FindChecksumKind("crc8")->check, 0xF4u);
    EXPECT_EQ(FindChecksumKind("crc8-sae-j1850")->check, 0x4Bu);
    EXPECT_EQ(FindChecksumKind("crc16-ccitt")->check, 0x29B1u);
    EXPECT_EQ(FindChecksumKind("crc16-modbus")->check, 0x4B37u);
    EXPECT_EQ(FindChecksumKind("crc32")->check, 0xCBF43926u);
    EXPECT_EQ(FindChecksumKind("xor8")->check, 0x31u);
    EXPECT_EQ(FindChecksumKind("sum8")->check, 0xDDu);
    EXPECT_EQ(FindChecksumKind("CRC8"), nullptr);
    EXPECT_EQ(ChecksumKindNames(), "xor8, sum8, crc8, crc8-sae-j1850, crc16-ccitt, crc16-modbus, crc32");

    // No bytes: init and xorout alone; sum8 wraps at 256.
    EXPECT_EQ(ComputeChecksum(*FindChecksumKind("crc8-sae-j1850"), nine, 0), 0x00u);
    EXPECT_EQ(ComputeChecksum(*FindChecksumKind("crc32"), nine, 0), 0x00000000u);
    EXPECT_EQ(ComputeChecksum(*FindChecksumKind("crc16-ccitt"), nine, 0), 0xFFFFu);
    const uint8_t twoHalves[] = { 0x80, 0x80 };
    EXPECT_EQ(ComputeChecksum(*FindChecksumKind("sum8"), twoHalves, 2), 0x00u);
}
