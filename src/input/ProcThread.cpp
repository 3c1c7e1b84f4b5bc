#include "input/ProcThread.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "input/TBSKQueue.h"

namespace {

constexpr auto IdleWait = std::chrono::milliseconds(5);
constexpr auto PacketWait = std::chrono::milliseconds(10);
constexpr int MultiBlockOpcode = 0x37;

}

// Takes every block that is waiting on each wake and sleeps only when the queue is empty,
// so that a replay is not held to one block per wake.
void ProcThread::Execute(std::stop_token stop)
{
    uint8_t block[TsbkSize];
    while (!stop.stop_requested()) {
        if (!m_queue.Pop(block)) {
            std::this_thread::sleep_for(IdleWait);
            continue;
        }
        HandleBlock(block, stop);
    }
}

void ProcThread::HandleBlock(const uint8_t* block, std::stop_token stop)
{
    m_blocksTaken.fetch_add(1, std::memory_order_relaxed);
    if (m_pacer)
        m_pacer->BlockTaken();
    if (!IsTsbkCrcValid(block)) {
        m_crcFailures.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    if (Opcode(block) != MultiBlockOpcode) {
        Decode(block);
        return;
    }
    const int following = block[6] & 0x7F;
    if (following < 1 || following > MaxPacketDataBlocks) {
        Decode(block);
        return;
    }
    GatherPacket(block, following, stop);
}

void ProcThread::GatherPacket(const uint8_t* header, int following, std::stop_token stop)
{
    std::memcpy(m_packet.Blocks[0], header, TsbkSize);
    int gathered = 1;
    while (gathered <= following) {
        if (!m_queue.Pop(m_packet.Blocks[gathered])) {
            if (stop.stop_requested()) {
                DecodeSingly(gathered);
                return;
            }
            std::this_thread::sleep_for(PacketWait);
            continue;
        }
        m_blocksTaken.fetch_add(1, std::memory_order_relaxed);
        if (m_pacer)
            m_pacer->BlockTaken();
        ++gathered;
    }

    const uint8_t* last = m_packet.Blocks[gathered - 1];
    const uint32_t expected = Get32(last, 8);
    for (int i = 1; i < gathered; ++i)
        std::memcpy(&m_packetBytes[(i - 1) * TsbkSize], m_packet.Blocks[i], TsbkSize);
    const int length = TsbkSize * (gathered - 1) - 4;
    if (PacketCrc32(m_packetBytes, length) == expected) {
        m_packet.BlockCount = gathered;
        m_packetsDecoded.fetch_add(1, std::memory_order_relaxed);
        if (m_decoder.DecodeMultiBlock(m_packet))
            m_blocksRecognised.fetch_add(static_cast<uint64_t>(gathered), std::memory_order_relaxed);
        return;
    }
    DecodeSingly(gathered);
}

void ProcThread::DecodeSingly(int gathered)
{
    for (int i = 0; i < gathered; ++i) {
        if (IsTsbkCrcValid(m_packet.Blocks[i]))
            Decode(m_packet.Blocks[i]);
        else
            m_crcFailures.fetch_add(1, std::memory_order_relaxed);
    }
}

void ProcThread::Decode(const uint8_t* block)
{
    if (m_decoder.DecodeTsbk(block))
        m_blocksRecognised.fetch_add(1, std::memory_order_relaxed);
}
