#include <gtest/gtest.h>

#include "decoder/Tsbk.h"
#include "support/Blocks.h"

namespace {
const uint8_t checkText[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
}

TEST(Crc16, MatchesPublishedCheckValue)
{
    EXPECT_EQ(Crc16(checkText, sizeof checkText), 0xCE3C);
}

TEST(Crc16, EverySingleBitFlipOfABlockIsCaught)
{
    const TsbkBlock intact = MakeRfssStatus(0x123, 1, 2);
    ASSERT_TRUE(IsTsbkCrcValid(intact.data()));
    for (int bit = 0; bit < TsbkSize * 8; ++bit) {
        TsbkBlock damaged = intact;
        damaged[bit / 8] ^= static_cast<uint8_t>(0x80 >> bit % 8);
        EXPECT_FALSE(IsTsbkCrcValid(damaged.data())) << "bit " << bit;
    }
}

TEST(CrcEngine, GivesBothPublishedCheckValues)
{
    CrcParams crc32 = PacketCrcParams;
    CrcInit(crc32);
    CrcUpdate(crc32, checkText, sizeof checkText);
    EXPECT_EQ(CrcFinal(crc32), 0x765E7680u);
    EXPECT_EQ(PacketCrc32(checkText, sizeof checkText), 0x765E7680u);

    CrcParams crc16{16, 0x1021, 0, false, false, 0xFFFF, 0};
    CrcInit(crc16);
    CrcUpdate(crc16, checkText, 4);
    CrcUpdate(crc16, checkText + 4, sizeof checkText - 4);
    EXPECT_EQ(CrcFinal(crc16), 0xCE3Cu);
}

TEST(CrcEngine, ReflectedParametersGiveCrc32IsoHdlc)
{
    CrcParams crc{32, 0x04C11DB7, 0xFFFFFFFF, true, true, 0xFFFFFFFF, 0};
    CrcInit(crc);
    CrcUpdate(crc, checkText, sizeof checkText);
    EXPECT_EQ(CrcFinal(crc), 0xCBF43926u);
}

TEST(TsbkFields, ReadBigEndian)
{
    const uint8_t block[12] = {0, 0, 0x12, 0x34, 0x56, 0x78, 0x9A, 0, 0, 0, 0, 0};
    EXPECT_EQ(Get16(block, 2), 0x1234u);
    EXPECT_EQ(Get24(block, 2), 0x123456u);
    EXPECT_EQ(Get32(block, 3), 0x3456789Au);
}
