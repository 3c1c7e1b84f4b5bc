#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "decoder/Tsbk.h"
#include "support/Blocks.h"

// Puts value into bytes n.. of a 12-byte block (big-endian, width bytes); no CRC.
inline void PutBytes(uint8_t* block, int n, int width, uint32_t value)
{
    for (int i = width - 1; i >= 0; --i, value >>= 8)
        block[n + i] = static_cast<uint8_t>(value);
}

// The record DecodeMultiBlock receives, laid out from the blocks of a packet, header first.
inline PacketRecord ToRecord(const std::vector<TsbkBlock>& blocks)
{
    PacketRecord record;
    record.BlockCount = static_cast<int32_t>(blocks.size());
    const int stored = std::min(static_cast<int>(blocks.size()), 1 + MaxPacketDataBlocks);
    for (int i = 0; i < stored; ++i)
        std::memcpy(record.Blocks[i], blocks[i].data(), TsbkSize);
    return record;
}

// A multi-block packet built from its fields: the header carries the MFID (byte 2), the
// blocks to follow (byte 6) and the message opcode (byte 7); Blocks() adds the header's
// CRC-16 and the packet CRC-32, which takes bytes 8-11 of the last data block.
class PacketBuilder
{
public:
    PacketBuilder(int opcode, int mfid, int dataBlocks)
        : m_header{0x37, 0x00, static_cast<uint8_t>(mfid), 0, 0, 0, static_cast<uint8_t>(dataBlocks),
                   static_cast<uint8_t>(opcode)},
          m_data(dataBlocks)
    {
    }

    // Header bytes n.. (width bytes).
    PacketBuilder& Header(int n, int width, uint32_t value)
    {
        PutBytes(m_header.data(), n, width, value);
        return *this;
    }

    // Data block k (1 = the first after the header), bytes n.. (width bytes).
    PacketBuilder& Block(int k, int n, int width, uint32_t value)
    {
        PutBytes(m_data[k - 1].data(), n, width, value);
        return *this;
    }

    std::vector<TsbkBlock> Blocks() const
    {
        std::vector<TsbkBlock> blocks = MakePacket(m_data, m_header[7]);
        blocks[0] = m_header;
        PutField(blocks[0], 2, 1, m_header[2]);
        return blocks;
    }

    PacketRecord Record() const { return ToRecord(Blocks()); }

private:
    TsbkBlock m_header;
    std::vector<TsbkBlock> m_data;
};
