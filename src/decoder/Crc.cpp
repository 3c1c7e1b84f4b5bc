#include "decoder/Tsbk.h"

namespace {

struct Crc16Table
{
    uint16_t entries[256];

    constexpr Crc16Table() : entries()
    {
        for (int byte = 0; byte < 256; ++byte) {
            uint16_t reg = static_cast<uint16_t>(byte << 8);
            for (int bit = 0; bit < 8; ++bit)
                reg = static_cast<uint16_t>(reg & 0x8000 ? reg << 1 ^ 0x1021 : reg << 1);
            entries[byte] = reg;
        }
    }
};

constexpr Crc16Table crc16Table;

struct Crc32Table
{
    uint32_t entries[256];

    constexpr Crc32Table() : entries()
    {
        for (uint32_t byte = 0; byte < 256; ++byte) {
            uint32_t reg = byte << 24;
            for (int bit = 0; bit < 8; ++bit)
                reg = reg & 0x80000000u ? reg << 1 ^ PacketCrcParams.polynomial : reg << 1;
            entries[byte] = reg;
        }
    }
};

constexpr Crc32Table crc32Table;

uint8_t ReverseByte(uint8_t b)
{
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i)
        r = static_cast<uint8_t>(r << 1 | (b >> i & 1));
    return r;
}

uint32_t ReverseBits(uint32_t value, int width)
{
    uint32_t r = 0;
    for (int i = 0; i < width; ++i)
        r = r << 1 | (value >> i & 1);
    return r;
}

uint32_t WidthMask(int width)
{
    return width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
}

}

uint16_t Crc16(const uint8_t* data, int length)
{
    uint16_t reg = 0;
    for (int i = 0; i < length; ++i)
        reg = static_cast<uint16_t>(reg << 8 ^ crc16Table.entries[(reg >> 8 ^ data[i]) & 0xFF]);
    return static_cast<uint16_t>(reg ^ 0xFFFF);
}

void CrcInit(CrcParams& params)
{
    params.reg = params.initial;
}

void CrcUpdate(CrcParams& params, const uint8_t* data, int length)
{
    const uint32_t mask = WidthMask(params.width);
    const uint32_t top = 1u << (params.width - 1);
    uint32_t reg = params.reg;
    for (int i = 0; i < length; ++i) {
        const uint8_t byte = params.reflectIn ? ReverseByte(data[i]) : data[i];
        reg ^= static_cast<uint32_t>(byte) << (params.width - 8);
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & top ? reg << 1 ^ params.polynomial : reg << 1) & mask;
    }
    params.reg = reg;
}

uint32_t CrcFinal(const CrcParams& params)
{
    const uint32_t reg = params.reflectOut ? ReverseBits(params.reg, params.width) : params.reg;
    return (reg ^ params.finalXor) & WidthMask(params.width);
}

// Table-driven form of the engine with PacketCrcParams, for the processing thread.
uint32_t PacketCrc32(const uint8_t* data, int length)
{
    uint32_t reg = PacketCrcParams.initial;
    for (int i = 0; i < length; ++i)
        reg = reg << 8 ^ crc32Table.entries[(reg >> 24 ^ data[i]) & 0xFF];
    return reg ^ PacketCrcParams.finalXor;
}
