#include <gtest/gtest.h>

#include <array>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <random>
#include <vector>

#include "model/P25Class.h"
#include "support/LogDrain.h"
#include "support/Packets.h"

// Millions of random blocks and packets through both decoders with every log on: nothing
// may crash or read outside a block or record (the sanitizer build checks the second).
// ZEMBRANT_FUZZ_ITERATIONS sets the number of blocks and packets of each test,
// ZEMBRANT_FUZZ_SEED the seed; the sanitizer builds run fewer by default.

namespace {

#ifdef ZEMBRANT_FUZZ_SANITIZED
constexpr long DefaultIterations = 300000;
#else
constexpr long DefaultIterations = 2000000;
#endif
constexpr int DrainInterval = 50;
constexpr int CopyInterval = 5000;

constexpr int SysId = 0x123;
constexpr int Rfss = 1;
constexpr int Site = 2;
constexpr int ServiceClass = 0x70;

long EnvironmentNumber(const char* name, long fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 0) : fallback;
}

// Random blocks and packets, biased towards what the dispatch recognises: known MFIDs,
// valid CRCs, consistent block counts. Status broadcasts mostly keep the site, because a
// change of site or system resets the model and would make the run a run of resets.
class RandomInput
{
public:
    explicit RandomInput(uint64_t seed) : m_random(seed) {}

    TsbkBlock Block()
    {
        TsbkBlock block;
        FillRandom(block.data());
        block[0] &= OneIn(16) ? 0xFF : 0xBF; // the P bit set now and then
        block[1] = Mfid();
        if (Opcode(block.data()) == 0x3A && block[1] == 0x00 && !OneIn(256)) {
            block[3] = static_cast<uint8_t>((block[3] & 0xF0) | SysId >> 8);
            block[4] = SysId & 0xFF;
            block[5] = Rfss;
            block[6] = Site;
            block[9] = ServiceClass;
        }
        if (!OneIn(16))
            PutField(block, 0, 1, block[0]);
        return block;
    }

    PacketRecord Packet()
    {
        PacketRecord record;
        for (auto& block : record.Blocks)
            FillRandom(block);
        const int roll = Below(100);
        if (roll < 90)
            record.BlockCount = 2 + Below(4);
        else if (roll < 95)
            record.BlockCount = 1;
        else
            record.BlockCount = InvalidCounts[Below(static_cast<int>(InvalidCounts.size()))];

        uint8_t* header = record.Blocks[0];
        header[0] = 0x37 | (header[0] & 0x80);
        header[2] = Mfid();
        header[6] = static_cast<uint8_t>((header[6] & 0x80) | ((static_cast<uint32_t>(record.BlockCount) - 1) & 0x7F));
        if (!OneIn(8))
            header[7] = static_cast<uint8_t>((header[7] & 0xC0) | MultiBlockOpcodes[Below(16)]);
        if ((header[7] & 0x3F) == 0x3A && header[2] == 0x00 && !OneIn(256)) {
            header[4] = static_cast<uint8_t>((header[4] & 0xF0) | SysId >> 8);
            header[5] = SysId & 0xFF;
            record.Blocks[1][0] = Rfss;
            record.Blocks[1][1] = Site;
            record.Blocks[1][6] = ServiceClass;
        }
        if (record.BlockCount >= 2 && record.BlockCount <= 1 + MaxPacketDataBlocks && !OneIn(16))
            SealPacket(record);
        return record;
    }

    bool OneIn(int n) { return Below(n) == 0; }

private:
    static constexpr std::array<int32_t, 8> InvalidCounts{0, -1, 6, 7, 100, 0x7F, INT_MIN, INT_MAX};
    static constexpr std::array<uint8_t, 16> MultiBlockOpcodes{0x00, 0x02, 0x04, 0x06, 0x07, 0x08, 0x10, 0x18,
                                                               0x1A, 0x1C, 0x28, 0x2C, 0x31, 0x3A, 0x3B, 0x3C};

    int Below(int n) { return static_cast<int>(m_random() % static_cast<uint64_t>(n)); }

    void FillRandom(uint8_t* block)
    {
        uint64_t bits = m_random();
        for (int i = 0; i < TsbkSize; ++i) {
            if (i == 8)
                bits = m_random();
            block[i] = static_cast<uint8_t>(bits);
            bits >>= 8;
        }
    }

    uint8_t Mfid()
    {
        static constexpr uint8_t known[] = {0x00, 0x00, 0x00, 0x00, 0x90, 0x90, 0xA4, 0xAD, 0x30};
        return OneIn(8) ? static_cast<uint8_t>(m_random()) : known[Below(sizeof known)];
    }

    // The header's CRC-16 and the packet CRC-32 in the last block, as the processing thread
    // checks them before it hands a packet over.
    static void SealPacket(PacketRecord& record)
    {
        const uint16_t crc16 = Crc16(record.Blocks[0], 10);
        record.Blocks[0][10] = static_cast<uint8_t>(crc16 >> 8);
        record.Blocks[0][11] = static_cast<uint8_t>(crc16);
        uint8_t bytes[MaxPacketDataBlocks * TsbkSize];
        const int dataBlocks = record.BlockCount - 1;
        for (int i = 0; i < dataBlocks; ++i)
            std::memcpy(&bytes[i * TsbkSize], record.Blocks[i + 1], TsbkSize);
        const uint32_t crc32 = PacketCrc32(bytes, dataBlocks * TsbkSize - 4);
        PutBytes(record.Blocks[dataBlocks], 8, 4, crc32);
    }

    std::mt19937_64 m_random;
};

class DecoderFuzzTest : public ::testing::Test
{
protected:
    ManualClock clock{1700000000};
    P25Class model{clock};
    LogDrain drain;
    const long iterations = EnvironmentNumber("ZEMBRANT_FUZZ_ITERATIONS", DefaultIterations);
    const uint64_t seed = static_cast<uint64_t>(EnvironmentNumber("ZEMBRANT_FUZZ_SEED", 25));
    RandomInput input{seed};
    int sinceDrain = 0;
    int sinceCopy = 0;

    void SetUp() override
    {
        SetEveryLogSwitch(model, true);
        model.SetSystemAndSite(SysId, Rfss, ServiceClass, Site);
        RecordProperty("seed", std::to_string(seed));
    }

    // What the screen refresh and the window's timers do between blocks.
    void AfterBlocks(int blocks)
    {
        clock.AdvanceTicks(1);
        sinceDrain += blocks;
        if (sinceDrain >= DrainInterval) {
            sinceDrain = 0;
            drain.TakeAll(model);
            model.ExpireChannelActivity();
            model.ExpirePatches();
        }
        sinceCopy += blocks;
        if (sinceCopy >= CopyInterval) {
            sinceCopy = 0;
            CopyEveryList();
        }
    }

    void CopyEveryList()
    {
        SYSINFO info;
        model.GetSystemInfo(info);
        std::vector<FreqInfo> channels(MaxChannels);
        model.GetChannels(channels.data(), MaxChannels);
        std::vector<NEIGHBORREC> neighbors(MaxNeighbors);
        model.GetNeighbors(neighbors.data(), MaxNeighbors);
        std::vector<PATCHREC> patches(MaxPatches);
        model.GetPatches(patches.data(), MaxPatches);
        std::vector<AFFREC> affiliations(MaxAffiliations);
        model.GetAffiliations(affiliations.data(), MaxAffiliations);
        std::vector<IDENTABLE> tables(MaxIdentifierTables);
        model.GetIdentifierTables(tables.data(), MaxIdentifierTables);
    }
};

}

TEST_F(DecoderFuzzTest, RandomBlocksThroughTheSingleBlockDecoder)
{
    long recognised = 0;
    for (long i = 0; i < iterations; ++i) {
        const TsbkBlock block = input.Block();
        recognised += model.DecodeTsbk(block.data());
        AfterBlocks(1);
    }
    drain.TakeAll(model);
    EXPECT_LE(recognised, iterations);
}

TEST_F(DecoderFuzzTest, RandomPacketsThroughTheMultiBlockDecoder)
{
    long handled = 0;
    const long packets = iterations / 3;
    for (long i = 0; i < packets; ++i) {
        const PacketRecord record = input.Packet();
        handled += model.DecodeMultiBlock(record);
        // A packet whose CRC-32 fails reaches the single-block decoder block by block.
        if (input.OneIn(8)) {
            const int stored = std::clamp(record.BlockCount, 0, 1 + MaxPacketDataBlocks);
            for (int k = 0; k < stored; ++k)
                model.DecodeTsbk(record.Blocks[k]);
        }
        AfterBlocks(std::clamp(record.BlockCount, 1, 5));
    }
    drain.TakeAll(model);
    EXPECT_GT(handled, 0);
}
