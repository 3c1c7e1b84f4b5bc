#pragma once
#include <atomic>
#include <cstdint>

#include "decoder/BlockDecoder.h"
#include "decoder/Tsbk.h"
#include "platform/WorkerThread.h"

class TBSKQueue;

// What a processing thread did, kept after it is gone.
struct ProcessingTotals
{
    uint64_t BlocksTaken = 0;
    uint64_t BlocksRecognised = 0;
    uint64_t CrcFailures = 0;
    uint64_t PacketsDecoded = 0;
};

// Told of every block the processing thread takes, before it is decoded; capture replay
// paces its clock here so that the model's time follows the capture, not the machine.
class BlockPacer
{
public:
    virtual ~BlockPacer() = default;
    virtual void BlockTaken() = 0;
};

// The consumer of TBSKQueue: checks each block's CRC-16, gathers multi-block packets,
// checks their CRC-32 and hands them to the decoder. The decoders run on this thread only.
//
// A header that announces no data blocks, or more than the packet area holds, is decoded
// as a single block. When a stop is requested while a packet is being gathered, the
// blocks gathered so far are decoded one by one, as after a packet CRC failure.
class ProcThread : public WorkerThread
{
public:
    ProcThread(TBSKQueue& queue, BlockDecoder& decoder) : m_queue(queue), m_decoder(decoder) {}
    ~ProcThread() override { Stop(); }

    // Set before Start; null for a live session.
    void SetPacer(BlockPacer* pacer) { m_pacer = pacer; }

    uint64_t BlocksTaken() const { return m_blocksTaken.load(); }
    uint64_t BlocksRecognised() const { return m_blocksRecognised.load(); }
    uint64_t CrcFailures() const { return m_crcFailures.load(); }
    uint64_t PacketsDecoded() const { return m_packetsDecoded.load(); }
    ProcessingTotals Totals() const
    {
        return {BlocksTaken(), BlocksRecognised(), CrcFailures(), PacketsDecoded()};
    }

protected:
    void Execute(std::stop_token stop) override;

private:
    void HandleBlock(const uint8_t* block, std::stop_token stop);
    void GatherPacket(const uint8_t* header, int following, std::stop_token stop);
    void DecodeSingly(int gathered);
    void Decode(const uint8_t* block);

    TBSKQueue& m_queue;
    BlockDecoder& m_decoder;
    BlockPacer* m_pacer = nullptr;
    PacketRecord m_packet;
    uint8_t m_packetBytes[MaxPacketDataBlocks * TsbkSize] = {};
    std::atomic<uint64_t> m_blocksTaken{0};
    std::atomic<uint64_t> m_blocksRecognised{0};
    std::atomic<uint64_t> m_crcFailures{0};
    std::atomic<uint64_t> m_packetsDecoded{0};
};
