#include <gtest/gtest.h>

#include <cmath>

#include "sim/MessageEncoder.h"
#include "support/Blocks.h"

using namespace MessageEncoder;

namespace {

// The identifier table fields as the decoder reads them back.
struct Identifier
{
    int Iden;
    double Base, Spacing, Bandwidth, TxOffset;
};

Identifier ReadIdentifier(const TsbkBlock& b)
{
    Identifier id{b[2] >> 4, Get32(b.data(), 6) * 0.000005, b[5] * 0.000125, 0, 0};
    const uint32_t offsetWord = Get16(b.data(), 3) >> 2;
    switch (Opcode(b.data())) {
    case 0x3D:
        id.Bandwidth = (Get16(b.data(), 2) >> 3 & 0x1FF) * 0.000125;
        id.TxOffset = (offsetWord & 0xFF) * 0.25 * ((b[3] & 0x04) ? 1 : -1);
        break;
    case 0x34:
        id.Bandwidth = (b[2] & 0x0F) * 0.0025;
        id.TxOffset = (offsetWord & 0x1FFF) * id.Spacing * ((b[3] & 0x80) ? 1 : -1);
        break;
    case 0x33:
        id.Spacing = (Get16(b.data(), 4) & 0x3FF) * 0.000125;
        id.Bandwidth = b[2] & 0x0F; // the channel type
        id.TxOffset = (offsetWord & 0x1FFF) * id.Spacing * ((b[3] & 0x80) ? 1 : -1);
        break;
    }
    return id;
}

std::vector<uint8_t> DataBytes(const Packet& packet)
{
    std::vector<uint8_t> data;
    for (size_t i = 1; i < packet.size(); ++i)
        data.insert(data.end(), packet[i].begin(), packet[i].end());
    return data;
}

}

TEST(MessageEncoder, SingleBlocksMatchTheTestBuilder)
{
    EXPECT_EQ(GroupVoiceGrant(0xC0, 0x1001, 0x0123, 0x0A0B0C),
              MakeTsbk(0x00, 0x00, {0xC0, 0x10, 0x01, 0x01, 0x23, 0x0A, 0x0B, 0x0C}));
    EXPECT_EQ(RfssStatus(0xABC, 2, 7, 0x1055, 0x70), MakeRfssStatus(0xABC, 2, 7, 0x1055, 0x70));
    EXPECT_EQ(NetworkStatus(0xBEE00, 0x123, 0x1001, 0x70),
              MakeTsbk(0x3B, 0x00, {0x00, 0xBE, 0xE0, 0x01, 0x23, 0x10, 0x01, 0x70}));
    EXPECT_EQ(UnitRegistrationResponse(Result::Deny, 0x1A2, 100, 200),
              MakeTsbk(0x2C, 0x00, {0x21, 0xA2, 0, 0, 100, 0, 0, 200}));
    EXPECT_EQ(GroupAffiliationResponse(true, Result::Fail, 0, 300, 0x123456),
              MakeTsbk(0x28, 0x00, {0x81, 0, 0, 0x01, 0x2C, 0x12, 0x34, 0x56}));
    EXPECT_EQ(DeregistrationResponse(0xBEE00, 0x1A2, 77), MakeTsbk(0x2F, 0x00, {0, 0xBE, 0xE0, 0x01, 0xA2, 0, 0, 77}));
    EXPECT_EQ(MotorolaPatchAdd(65001, 100, 200, 300),
              MakeTsbk(0x00, 0x90, {0xFD, 0xE9, 0, 100, 0, 200, 0x01, 0x2C}));
    EXPECT_EQ(QueuedResponse(0x04, 0x20, 222, 111), MakeTsbk(0x21, 0x00, {0x04, 0x20, 0, 0, 111, 0, 0, 222}));
}

TEST(MessageEncoder, IdentifierUpdatesReadBackAsSent)
{
    const struct
    {
        TsbkBlock Block;
        Identifier Expected;
    } cases[] = {
        {IdentifierUpdate(1, 0.0125, -45.0, 0.00625, 851.00625), {1, 851.00625, 0.00625, 0.0125, -45.0}},
        {IdentifierUpdate(5, 0.00625, 30.0, 0.0125, 851.0125), {5, 851.0125, 0.0125, 0.00625, 30.0}},
        {IdentifierUpdateVhfUhf(2, 5, 5.0, 0.00625, 451.00625), {2, 451.00625, 0.00625, 0.0125, 5.0}},
        {IdentifierUpdateVhfUhf(3, 5, -0.6, 0.0125, 154.0), {3, 154.0, 0.0125, 0.0125, -0.6}},
        {IdentifierUpdateTdma(4, 3, -45.0, 0.0125, 851.00625), {4, 851.00625, 0.0125, 3, -45.0}},
        {IdentifierUpdateTdma(15, 4, 0.0, 0.025, 769.00625), {15, 769.00625, 0.025, 4, 0.0}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(IsTsbkCrcValid(c.Block.data()));
        const Identifier got = ReadIdentifier(c.Block);
        EXPECT_EQ(got.Iden, c.Expected.Iden);
        EXPECT_NEAR(got.Base, c.Expected.Base, 1e-9);
        EXPECT_NEAR(got.Spacing, c.Expected.Spacing, 1e-9);
        EXPECT_NEAR(got.Bandwidth, c.Expected.Bandwidth, 1e-9);
        EXPECT_NEAR(got.TxOffset, c.Expected.TxOffset, 1e-9) << c.Expected.Iden;
    }
    // 851.0125 MHz is 170,202,500 steps of 5 Hz; 12.5 kHz is 100 steps of 125 Hz.
    const TsbkBlock known = IdentifierUpdate(5, 0.00625, 30.0, 0.0125, 851.0125);
    EXPECT_EQ(known[5], 100);
    EXPECT_EQ(Get32(known.data(), 6), 170202500u);
}

TEST(MessageEncoder, CallSignsUseEachMakersCharacterOffset)
{
    const TsbkBlock motorola = MotorolaBaseStationId("AB0", 0x1234);
    EXPECT_EQ(Get24(motorola.data(), 2), 22u << 18 | 23u << 12 | 5u << 6);
    EXPECT_EQ(Get24(motorola.data(), 5), 0u);
    EXPECT_EQ(Get16(motorola.data(), 8), 0x1234u);
    const TsbkBlock harris = HarrisCallSign("AB0", 0x1234);
    EXPECT_EQ(Get24(harris.data(), 2), 19u << 18 | 20u << 12 | 2u << 6);
    // Eight characters fill both fields; a character outside the set ends the call sign.
    EXPECT_EQ(Get24(MotorolaBaseStationId("WQAB1234", 1).data(), 5), ('1' - 43u) << 18 | ('2' - 43u) << 12 |
                                                                        ('3' - 43u) << 6 | ('4' - 43u));
    EXPECT_EQ(Get24(MotorolaBaseStationId("a~", 1).data(), 2), ('a' - 43u) << 18);
    EXPECT_TRUE(IsTsbkCrcValid(harris.data()));
}

TEST(MessageEncoder, PacketsCarryTheirCrcsAndFields)
{
    const Packet packets[] = {
        PacketGroupVoiceGrant(Encrypted, 0x123456, 0x1001, 0x1002, 291),
        PacketUnitToUnitVoiceGrant(0xBEE00, 0x1A2, 111, 222, 0x1003, 0x1004),
        PacketTelephoneVoiceGrant(0, 333, 0x1005, 0x1005, 600),
        PacketGroupAffiliationResponse(0xBEE00, 0x1A2, 444, 444, 5000, 5001, Result::Deny),
        PacketUnitRegistrationResponse(0xBEE00, 0x1A2, 555, 556, Result::Accept),
        PacketRfssStatus(0x1A2, 3, 4, 0x1001, 0x1001, 0x70),
        PacketNetworkStatus(0xBEE00, 0x1A2, 0x1001, 0x1001, 0x70),
        PacketAdjacentStatus(0x1A2, 3, 5, 0x1009, 0x1009, 0x70),
    };
    const size_t expectedBlocks[] = {2, 3, 2, 3, 2, 2, 2, 2};
    for (size_t i = 0; i < std::size(packets); ++i) {
        const Packet& p = packets[i];
        EXPECT_EQ(p.size(), expectedBlocks[i]) << i;
        EXPECT_TRUE(IsPacketValid(p)) << i;
        EXPECT_EQ(Opcode(p[0].data()), 0x37);
        EXPECT_EQ(p[0][6] & 0x7F, static_cast<int>(p.size() - 1));
        for (size_t block = 0; block < p.size(); ++block) {
            Packet damaged = p;
            damaged[block][block + 3] ^= 0x10;
            EXPECT_FALSE(IsPacketValid(damaged)) << i << " block " << block;
        }
    }

    // Group grant: options in the header, channels and talkgroup in block 1.
    EXPECT_EQ(packets[0][0][8], Encrypted);
    EXPECT_EQ(Get24(packets[0][0].data(), 3), 0x123456u);
    EXPECT_EQ(Get16(packets[0][1].data(), 2), 0x1001u);
    EXPECT_EQ(Get16(packets[0][1].data(), 4), 0x1002u);
    EXPECT_EQ(Get16(packets[0][1].data(), 6), 291u);

    // Unit-to-unit: WACN and system in the word of block 1, input channel in block 2.
    const std::vector<uint8_t> u2u = DataBytes(packets[1]);
    EXPECT_EQ(Get32(u2u.data(), 0) >> 12, 0xBEE00u);
    EXPECT_EQ(Get32(u2u.data(), 0) & 0xFFF, 0x1A2u);
    EXPECT_EQ(Get24(u2u.data(), 4), 111u);
    EXPECT_EQ(Get24(u2u.data(), 7), 222u);
    EXPECT_EQ(Get16(u2u.data(), 10), 0x1003u);
    EXPECT_EQ(Get16(u2u.data(), 12), 0x1004u);

    // Affiliation response: WACN and system split between header and block 1.
    const Packet& aff = packets[3];
    const std::vector<uint8_t> data = DataBytes(aff);
    EXPECT_EQ((data[0] >> 4) << 16 | aff[0][8] << 8 | aff[0][9], 0xBEE00);
    EXPECT_EQ((data[0] & 0x0F) << 8 | data[1], 0x1A2);
    EXPECT_EQ(Get16(data.data(), 9), 5000u);
    EXPECT_EQ(data[11] << 8 | data[12], 5001);
    EXPECT_EQ(data[13] & 3, static_cast<int>(Result::Deny));

    // Status broadcasts: system and status in the header address.
    EXPECT_EQ((packets[5][0][4] & 0x0F) << 8 | packets[5][0][5], 0x1A2);
    EXPECT_EQ(packets[5][0][4] >> 4, 1);
    EXPECT_EQ(packets[5][1][0], 3);
    EXPECT_EQ(packets[5][1][1], 4);
    EXPECT_EQ(Get32(packets[6][1].data(), 0) >> 12, 0xBEE00u);
    EXPECT_EQ(Get16(packets[6][1].data(), 3), 0x1001u);
    EXPECT_EQ(packets[7][0][8], 3);
    EXPECT_EQ(packets[7][0][9], 5);
}
