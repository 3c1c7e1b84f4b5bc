#pragma once
#include <array>
#include <cstdint>
#include <cstring>

// A trunking signalling block: byte 0 LB/P/opcode, byte 1 MFID, bytes 2-9 arguments,
// bytes 10-11 the big-endian CRC-16 over bytes 0-9.
constexpr int TsbkSize = 12;
using TsbkBlock = std::array<uint8_t, TsbkSize>;

// A multi-block packet holds its header and at most this many data blocks.
constexpr int MaxPacketDataBlocks = 4;

// The packet record handed to DecodeMultiBlock: the block count, header included,
// then that many blocks, header first.
struct PacketRecord
{
    int32_t BlockCount = 0;
    uint8_t Blocks[1 + MaxPacketDataBlocks][TsbkSize] = {};
};

inline uint32_t Get16(const uint8_t* block, int n)
{
    return static_cast<uint32_t>(block[n] << 8 | block[n + 1]);
}

inline uint32_t Get24(const uint8_t* block, int n)
{
    return static_cast<uint32_t>(block[n] << 16 | block[n + 1] << 8 | block[n + 2]);
}

inline uint32_t Get32(const uint8_t* block, int n)
{
    return static_cast<uint32_t>(block[n]) << 24 | Get24(block, n + 1);
}

inline int Opcode(const uint8_t* block)
{
    return block[0] & 0x3F;
}

// CRC-16/GSM: poly 0x1021, init 0, no reflection, final XOR 0xFFFF.
uint16_t Crc16(const uint8_t* data, int length);

// True when bytes 10-11 hold the CRC-16 of bytes 0-9.
inline bool IsTsbkCrcValid(const uint8_t* block)
{
    return Crc16(block, 10) == Get16(block, 10);
}

// The general CRC engine; the packet check uses it with CRC-32/CKSUM parameters
// (without the length suffix).
struct CrcParams
{
    int32_t width;
    uint32_t polynomial;
    uint32_t initial;
    bool reflectIn;
    bool reflectOut;
    uint32_t finalXor;
    uint32_t reg;
};

constexpr CrcParams PacketCrcParams{32, 0x04C11DB7, 0, false, false, 0xFFFFFFFF, 0};

void CrcInit(CrcParams& params);
void CrcUpdate(CrcParams& params, const uint8_t* data, int length);
uint32_t CrcFinal(const CrcParams& params);
uint32_t PacketCrc32(const uint8_t* data, int length);
