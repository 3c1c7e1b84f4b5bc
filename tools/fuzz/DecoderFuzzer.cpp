// libFuzzer entry for both decoders. The first input byte picks the road and the switches;
// the rest is a block (with its CRC-16 fixed up unless the road says otherwise) or a packet
// record (block count, then up to five blocks).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "model/P25Class.h"
#include "support/LogDrain.h"

namespace {

P25Class& Model()
{
    static ManualClock clock{1700000000};
    static const std::unique_ptr<P25Class> model = [] {
        auto created = std::make_unique<P25Class>(clock);
        created->SetSystemAndSite(0x123, 1, 0x70, 2);
        return created;
    }();
    return *model;
}

void DecodeBlocks(P25Class& model, const uint8_t* data, size_t size, bool fixCrc)
{
    for (; size >= TsbkSize; data += TsbkSize, size -= TsbkSize) {
        uint8_t block[TsbkSize];
        std::memcpy(block, data, TsbkSize);
        if (fixCrc) {
            const uint16_t crc = Crc16(block, 10);
            block[10] = static_cast<uint8_t>(crc >> 8);
            block[11] = static_cast<uint8_t>(crc);
        }
        model.DecodeTsbk(block);
    }
}

void DecodePacket(P25Class& model, const uint8_t* data, size_t size)
{
    PacketRecord record;
    if (size < 1)
        return;
    // A count byte: 2-5 mostly, but every value is allowed through.
    record.BlockCount = static_cast<int8_t>(data[0]);
    ++data;
    --size;
    const size_t stored = std::min(size, sizeof record.Blocks);
    std::memcpy(record.Blocks, data, stored);
    model.DecodeMultiBlock(record);
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    P25Class& model = Model();
    static LogDrain drain;
    const uint8_t road = data[0];
    SetEveryLogSwitch(model, (road & 0x80) == 0);
    model.SetPktDumpVisible((road & 0x40) == 0);
    switch (road & 0x03) {
    case 0:
        DecodeBlocks(model, data + 1, size - 1, true);
        break;
    case 1:
        DecodeBlocks(model, data + 1, size - 1, false);
        break;
    default:
        DecodePacket(model, data + 1, size - 1);
        break;
    }
    drain.TakeAll(model);
    return 0;
}
