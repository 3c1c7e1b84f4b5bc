// The decoders on a mixed control channel stream on one thread: status broadcasts,
// identifier updates, grants and updates over a population of talkgroups and radios,
// affiliations, registrations, vendor messages and multi-block packets. With the logs on the
// benchmark takes every queue each 50 blocks, as the screen refresh does.
#include <benchmark/benchmark.h>

#include <random>
#include <variant>
#include <vector>

#include "model/P25Class.h"
#include "support/LogDrain.h"
#include "support/Packets.h"

namespace {

constexpr int SysId = 0x2A7;
constexpr int Rfss = 1;
constexpr int Site = 3;
constexpr int ServiceClass = 0x70;
constexpr int ControlChannel = 0x1001;
constexpr uint32_t WacnWord = 0xBEE00000 | SysId;
constexpr int Talkgroups = 400;
constexpr int Radios = 5000;
constexpr int VoiceChannels = 20;
constexpr int Neighbors = 6;
constexpr int StreamItems = 20000;
constexpr int DrainInterval = 50;
// A control channel carries about 50 blocks a second; the activity clock ticks 10 times a second.
constexpr int BlocksPerTick = 5;

using StreamItem = std::variant<TsbkBlock, PacketRecord>;

class StreamBuilder
{
public:
    std::vector<StreamItem> Build()
    {
        std::vector<StreamItem> stream;
        stream.reserve(StreamItems);
        stream.push_back(RfssStatus());
        stream.push_back(NetworkStatus());
        stream.push_back(IdentifierUpdate(0, 851006250, -45));
        stream.push_back(IdentifierUpdate(1, 762006250, 30));
        // Cumulative shares out of 1000 items.
        while (static_cast<int>(stream.size()) < StreamItems) {
            const int roll = Below(1000);
            if (roll < 220)
                stream.push_back(GroupVoiceGrantUpdate());
            else if (roll < 360)
                stream.push_back(GroupVoiceGrant());
            else if (roll < 410)
                stream.push_back(RfssStatus());
            else if (roll < 450)
                stream.push_back(NetworkStatus());
            else if (roll < 530)
                stream.push_back(NeighborStatus());
            else if (roll < 570)
                stream.push_back(AlternateControl());
            else if (roll < 600)
                stream.push_back(IdentifierUpdate(Below(2), Below(2) ? 762006250 : 851006250, Below(2) ? 30 : -45));
            else if (roll < 620)
                stream.push_back(MakeTsbk(0x38, 0x00, {0, 0, 0, 0, 0x3F, 0xFF, 0xFF, 0xFF}));
            else if (roll < 690)
                stream.push_back(GroupAffiliationResponse());
            else if (roll < 720)
                stream.push_back(UnitRegistration());
            else if (roll < 735)
                stream.push_back(MakeTsbk(0x2F, 0x00, Fields(7, 3, Radio())));
            else if (roll < 755)
                stream.push_back(UnitToUnitGrant());
            else if (roll < 760)
                stream.push_back(MakeTsbk(0x08, 0x00, Join(Fields(3, 2, VoiceChannel()), 7, 3, Radio())));
            else if (roll < 780)
                stream.push_back(DenyOrQueued());
            else if (roll < 790)
                stream.push_back(MakeTsbk(0x20, 0x00, Join(Fields(2, 1, 0x80 | 0x28), 7, 3, Radio())));
            else if (roll < 830)
                stream.push_back(MotorolaPatchedGrant());
            else if (roll < 850)
                stream.push_back(MotorolaPatch());
            else if (roll < 860)
                stream.push_back(MakeTsbk(0x0B, 0x90, {0x5D, 0x8E, 0x34, 0x9C, 0x50, 0x00, 0x10, 0x05}));
            else if (roll < 870)
                stream.push_back(MakeTsbk(0x30, 0xA4, Join(Fields(3, 2, 9000 + Below(4)), 8, 2, Talkgroup())));
            else if (roll < 880)
                stream.push_back(MakeTsbk(0x09, 0x90, {0x12, 0x34, 0, 0, 0, 0, 0, 0}));
            else if (roll < 940)
                stream.push_back(GroupVoiceGrantUpdate());
            else
                stream.push_back(Packet());
        }
        return stream;
    }

private:
    std::mt19937 m_random{2024};

    int Below(int n) { return static_cast<int>(m_random() % static_cast<unsigned>(n)); }
    int Talkgroup() { return 100 + Below(Talkgroups) * 7; }
    int Radio() { return 1000000 + Below(Radios) * 13; }
    int VoiceChannel() { return 0x1000 | (2 + Below(VoiceChannels)); }
    int Options() { return Below(20) == 0 ? 0x40 : Below(200) == 0 ? 0x80 : 0x00; }

    // The argument bytes 2-9 with one field put in (n = its first byte, width bytes).
    static std::vector<int> Fields(int n, int width, uint32_t value)
    {
        return Join(std::vector<int>(8, 0), n, width, value);
    }
    static std::vector<int> Join(std::vector<int> args, int n, int width, uint32_t value)
    {
        for (int i = width - 1; i >= 0; --i, value >>= 8)
            args[n - 2 + i] = static_cast<int>(value & 0xFF);
        return args;
    }
    static TsbkBlock MakeTsbk(int opcode, int mfid, const std::vector<int>& args)
    {
        TsbkBlock block = ::MakeTsbk(opcode, mfid);
        for (int i = 0; i < 8; ++i)
            block[2 + i] = static_cast<uint8_t>(args[i]);
        PutField(block, 2, 1, block[2]);
        return block;
    }

    TsbkBlock RfssStatus() { return MakeRfssStatus(SysId, Rfss, Site, ControlChannel, ServiceClass); }

    TsbkBlock NetworkStatus()
    {
        return MakeTsbk(0x3B, 0x00, Join(Join(Fields(3, 4, WacnWord), 7, 2, ControlChannel), 9, 1, ServiceClass));
    }

    TsbkBlock NeighborStatus()
    {
        const int site = 4 + Below(Neighbors);
        auto args = Fields(3, 2, 0x1000 | SysId);
        args = Join(args, 5, 1, Rfss);
        args = Join(args, 6, 1, site);
        args = Join(args, 7, 2, 0x1000 | (0x40 + site));
        return MakeTsbk(0x3C, 0x00, Join(args, 9, 1, ServiceClass));
    }

    TsbkBlock AlternateControl()
    {
        auto args = Join(Join(Fields(2, 1, Rfss), 3, 1, Site), 4, 2, 0x1030);
        return MakeTsbk(0x39, 0x00, Join(Join(Join(args, 6, 1, ServiceClass), 7, 2, 0x1031), 9, 1, ServiceClass));
    }

    // 0x3D: iden high half of byte 2, bandwidth, offset with its sign, spacing, base in 5 Hz steps.
    TsbkBlock IdentifierUpdate(int iden, uint32_t baseHz, int offsetMHz)
    {
        const int offset = (offsetMHz < 0 ? -offsetMHz : offsetMHz) * 4;
        const int sign = offsetMHz > 0 ? 1 : 0;
        const uint32_t bandwidthBits = 100; // 12.5 kHz in 125 Hz steps
        const uint32_t bytes2to4 = static_cast<uint32_t>(iden) << 20 | bandwidthBits << 11 | sign << 10 | offset << 2;
        return MakeTsbk(0x3D, 0x00, Join(Join(Fields(2, 3, bytes2to4), 5, 1, 50), 6, 4, baseHz / 5));
    }

    TsbkBlock GroupVoiceGrant()
    {
        auto args = Join(Fields(2, 1, Options()), 3, 2, VoiceChannel());
        return MakeTsbk(0x00, 0x00, Join(Join(args, 5, 2, Talkgroup()), 7, 3, Radio()));
    }

    TsbkBlock GroupVoiceGrantUpdate()
    {
        auto args = Join(Fields(2, 2, VoiceChannel()), 4, 2, Talkgroup());
        return MakeTsbk(0x02, 0x00, Join(Join(args, 6, 2, VoiceChannel()), 8, 2, Talkgroup()));
    }

    TsbkBlock UnitToUnitGrant()
    {
        auto args = Join(Fields(2, 2, VoiceChannel()), 4, 3, Radio());
        return MakeTsbk(Below(2) ? 0x04 : 0x06, 0x00, Join(args, 7, 3, Radio()));
    }

    TsbkBlock GroupAffiliationResponse()
    {
        const int result = Below(20) == 0 ? 2 : 0;
        auto args = Join(Fields(2, 1, 0x80 | result), 5, 2, Talkgroup());
        return MakeTsbk(0x28, 0x00, Join(args, 7, 3, Radio()));
    }

    TsbkBlock UnitRegistration()
    {
        const int radio = Radio();
        return MakeTsbk(0x2C, 0x00, Join(Join(Fields(2, 2, SysId), 4, 3, radio), 7, 3, radio));
    }

    TsbkBlock DenyOrQueued()
    {
        auto args = Join(Join(Fields(2, 1, 0x04), 3, 1, Below(2) ? 0x10 : 0x20), 4, 3, Radio());
        return MakeTsbk(Below(2) ? 0x27 : 0x21, 0x00, Join(args, 7, 3, Radio()));
    }

    TsbkBlock MotorolaPatchedGrant()
    {
        auto args = Join(Fields(2, 1, Options()), 3, 2, VoiceChannel());
        return MakeTsbk(0x02, 0x90, Join(Join(args, 5, 2, 9000 + Below(4)), 7, 3, Radio()));
    }

    TsbkBlock MotorolaPatch()
    {
        auto args = Join(Fields(2, 2, 9000 + Below(4)), 4, 2, Talkgroup());
        return MakeTsbk(0x00, 0x90, Join(Join(args, 6, 2, Talkgroup()), 8, 2, Talkgroup()));
    }

    PacketRecord Packet()
    {
        switch (Below(6)) {
        case 0:
            return PacketBuilder(0x00, 0x00, 1).Header(3, 3, Radio()).Header(8, 1, Options())
                .Block(1, 2, 2, VoiceChannel()).Block(1, 6, 2, Talkgroup()).Record();
        case 1:
            return PacketBuilder(0x3A, 0x00, 1).Header(4, 2, 0x1000 | SysId).Block(1, 0, 1, Rfss).Block(1, 1, 1, Site)
                .Block(1, 2, 2, ControlChannel).Block(1, 6, 1, ServiceClass).Record();
        case 2:
            return PacketBuilder(0x3B, 0x00, 1).Header(4, 2, SysId).Block(1, 0, 3, WacnWord >> 8)
                .Block(1, 3, 2, ControlChannel).Block(1, 7, 1, ServiceClass).Record();
        case 3: {
            const int site = 4 + Below(Neighbors);
            return PacketBuilder(0x3C, 0x00, 1).Header(4, 2, 0x1000 | SysId).Header(8, 1, Rfss).Header(9, 1, site)
                .Block(1, 0, 2, 0x1000 | (0x40 + site)).Block(1, 5, 1, ServiceClass).Record();
        }
        case 4:
            return PacketBuilder(0x28, 0x00, 2).Header(3, 3, Radio()).Header(8, 2, 0xE000)
                .Block(1, 0, 2, 0xB000 | SysId)
                .Block(1, 2, 3, Radio()).Block(1, 5, 3, 0xBEE00 << 4 | SysId >> 8).Block(1, 8, 1, SysId & 0xFF)
                .Block(1, 9, 2, Talkgroup()).Record();
        default:
            return PacketBuilder(0x04, 0x00, 2).Block(1, 0, 4, WacnWord).Block(1, 4, 3, Radio()).Block(1, 7, 3, Radio())
                .Block(1, 10, 2, VoiceChannel()).Record();
        }
    }
};

const std::vector<StreamItem>& Stream()
{
    static const std::vector<StreamItem> stream = StreamBuilder().Build();
    return stream;
}

// The multi-block packets of the stream alone, after the blocks that identify the site.
const std::vector<StreamItem>& PacketStream()
{
    static const std::vector<StreamItem> stream = [] {
        std::vector<StreamItem> packets(Stream().begin(), Stream().begin() + 2);
        for (const StreamItem& item : Stream())
            if (std::holds_alternative<PacketRecord>(item))
                packets.push_back(item);
        return packets;
    }();
    return stream;
}

void RunStream(benchmark::State& state, const std::vector<StreamItem>& stream, bool logsOn)
{
    ManualClock clock(1700000000);
    P25Class model(clock);
    SetEveryLogSwitch(model, logsOn);
    LogDrain drain;
    int sinceDrain = 0;
    int sinceTick = 0;
    int64_t blocks = 0;
    size_t next = 0;
    for (auto _ : state) {
        const StreamItem& item = stream[next];
        next = next + 1 == stream.size() ? 0 : next + 1;
        int count = 1;
        if (const auto* block = std::get_if<TsbkBlock>(&item)) {
            benchmark::DoNotOptimize(model.DecodeTsbk(block->data()));
        } else {
            const PacketRecord& packet = std::get<PacketRecord>(item);
            benchmark::DoNotOptimize(model.DecodeMultiBlock(packet));
            count = packet.BlockCount;
        }
        blocks += count;
        sinceTick += count;
        if (sinceTick >= BlocksPerTick) {
            sinceTick = 0;
            clock.AdvanceTicks(1);
        }
        sinceDrain += count;
        if (sinceDrain >= DrainInterval) {
            sinceDrain = 0;
            drain.TakeAll(model);
            model.ExpireChannelActivity();
        }
    }
    state.SetItemsProcessed(blocks);
    state.counters["blocks/s"] = benchmark::Counter(static_cast<double>(blocks), benchmark::Counter::kIsRate);
}

void BM_MixedStreamLogsOn(benchmark::State& state)
{
    RunStream(state, Stream(), true);
}
BENCHMARK(BM_MixedStreamLogsOn);

void BM_MixedStreamLogsOff(benchmark::State& state)
{
    RunStream(state, Stream(), false);
}
BENCHMARK(BM_MixedStreamLogsOff);

void BM_MultiBlockPacketsLogsOn(benchmark::State& state)
{
    RunStream(state, PacketStream(), true);
}
BENCHMARK(BM_MultiBlockPacketsLogsOn);

void BM_MultiBlockPacketsLogsOff(benchmark::State& state)
{
    RunStream(state, PacketStream(), false);
}
BENCHMARK(BM_MultiBlockPacketsLogsOff);

}
