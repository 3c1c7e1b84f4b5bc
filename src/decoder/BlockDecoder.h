#pragma once
#include <cstdint>

#include "decoder/Tsbk.h"

// What ProcThread hands its blocks to; P25Class in the program.
class BlockDecoder
{
public:
    virtual ~BlockDecoder() = default;
    virtual bool DecodeTsbk(const uint8_t* block) = 0;
    virtual bool DecodeMultiBlock(const PacketRecord& packet) = 0;
};
