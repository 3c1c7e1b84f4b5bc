#pragma once
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "decoder/Tsbk.h"

// Builds a block from its opcode, MFID and argument bytes (2-9, zero-filled), with the CRC.
inline TsbkBlock MakeTsbk(int opcode, int mfid, std::initializer_list<int> args = {})
{
    TsbkBlock block{};
    block[0] = static_cast<uint8_t>(opcode);
    block[1] = static_cast<uint8_t>(mfid);
    int at = 2;
    for (int arg : args) {
        if (at > 9)
            break;
        block[at++] = static_cast<uint8_t>(arg);
    }
    const uint16_t crc = Crc16(block.data(), 10);
    block[10] = static_cast<uint8_t>(crc >> 8);
    block[11] = static_cast<uint8_t>(crc);
    return block;
}

// Puts value into bytes n.. of block (big-endian, width bytes) and fixes the CRC.
inline void PutField(TsbkBlock& block, int n, int width, uint32_t value)
{
    for (int i = width - 1; i >= 0; --i, value >>= 8)
        block[n + i] = static_cast<uint8_t>(value);
    const uint16_t crc = Crc16(block.data(), 10);
    block[10] = static_cast<uint8_t>(crc >> 8);
    block[11] = static_cast<uint8_t>(crc);
}

// An RFSS status broadcast: system, RFSS, site, control channel, service class.
inline TsbkBlock MakeRfssStatus(int sysId, int rfss, int site, int channel = 0x1001, int serviceClass = 0x70,
                                int status = 0x1)
{
    return MakeTsbk(0x3A, 0x00,
                    {0x00, status << 4 | (sysId >> 8 & 0xF), sysId & 0xFF, rfss, site, channel >> 8, channel & 0xFF,
                     serviceClass});
}

// A multi-block packet: header (opcode 0x37) announcing the data blocks, data blocks with
// their own CRC-16, and the packet CRC-32 in bytes 8-11 of the last data block.
inline std::vector<TsbkBlock> MakePacket(std::vector<TsbkBlock> data, int headerByte7 = 0x3A)
{
    TsbkBlock header = MakeTsbk(0x37, 0x00, {0, 0, 0, 0, static_cast<int>(data.size()), headerByte7});
    std::vector<uint8_t> bytes;
    for (auto& b : data)
        bytes.insert(bytes.end(), b.begin(), b.end());
    const uint32_t crc = PacketCrc32(bytes.data(), static_cast<int>(bytes.size()) - 4);
    auto& last = data.back();
    last[8] = static_cast<uint8_t>(crc >> 24);
    last[9] = static_cast<uint8_t>(crc >> 16);
    last[10] = static_cast<uint8_t>(crc >> 8);
    last[11] = static_cast<uint8_t>(crc);
    std::vector<TsbkBlock> packet{header};
    packet.insert(packet.end(), data.begin(), data.end());
    return packet;
}
