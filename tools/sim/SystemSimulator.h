#pragma once
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "sim/MessageEncoder.h"

// One block of the simulated control channel.
struct SimulatedBlock
{
    TsbkBlock Block{};
    std::string Description; // what it carries, in a few words
    bool InPacket = false;   // one block of a multi-block packet (header or data)
    bool Corrupted = false;  // one bit flipped after encoding: its CRC fails
};

struct SimulatorSettings
{
    uint64_t Seed = 1;
    int Talkgroups = 80;
    int Radios = 600;
    int CorruptPerMille = 2; // share of blocks with a flipped bit
};

// A synthetic P25 system heard on one site's control channel: its identity broadcasts,
// identifier tables of the three kinds, neighbours, and a population of talkgroups and
// radios whose calls, affiliations, registrations and patches come and go at random.
// Everything follows from the seed: the same settings give the same blocks, on any
// platform (the generator's draws avoid the library's distributions, whose results are
// not specified).
class SystemSimulator
{
public:
    explicit SystemSimulator(const SimulatorSettings& settings);

    SimulatedBlock Next();

    int Wacn() const { return m_wacn; }
    int SysId() const { return m_sysId; }
    int Rfss() const { return m_rfss; }
    int Site() const { return m_site; }
    int ControlChannel() const { return m_controlChannel; }
    int NeighborCount() const { return static_cast<int>(m_neighbors.size()); }
    uint64_t BlocksMade() const { return m_blockNumber; }

private:
    struct Neighbor
    {
        int SysId;
        int Rfss;
        int Site;
        int Channel;
    };
    enum class CallKind
    {
        Group,
        Private,
        Phone,
    };
    struct Call
    {
        CallKind Kind;
        int Channel;
        int Talkgroup; // the target radio of a private call
        int Source;
        int Options;
        uint64_t EndBlock;
    };
    struct Patch
    {
        int Supergroup;
        int Members[3];
        uint64_t EndBlock;
    };

    uint32_t Below(uint32_t n);
    bool OneIn(uint32_t n) { return Below(n) == 0; }
    int PickTalkgroup();
    int PickRadio() { return m_radios[Below(static_cast<uint32_t>(m_radios.size()))]; }
    int HomeTalkgroup(int radioIndex) const;
    int FreeChannel();
    int Options();

    void Fill();
    void Emit(const TsbkBlock& block, const std::string& description);
    void EmitPacket(const MessageEncoder::Packet& packet, const std::string& description);
    void Broadcast(uint64_t n);
    void EndCalls();
    void NewGroupCall();
    void NewPrivateCall();
    void NewPhoneCall();
    void Affiliation();
    void Registration();
    void DataTraffic();
    void PatchTraffic();
    void UnitTraffic();
    void VendorTraffic();
    void PacketBroadcast();
    void Update();
    void IdleBroadcast();

    SimulatorSettings m_settings;
    std::mt19937_64 m_random;
    int m_wacn;
    int m_sysId;
    int m_rfss;
    int m_site;
    int m_controlChannel;
    int m_alternateChannel;
    std::string m_callSign;
    std::vector<int> m_voiceChannels;
    std::vector<Neighbor> m_neighbors;
    std::vector<int> m_talkgroups;
    std::vector<uint32_t> m_talkgroupWeights; // running sums
    std::vector<int> m_radios;
    std::vector<Call> m_calls;
    std::vector<Patch> m_patches;
    std::deque<SimulatedBlock> m_pending;
    uint64_t m_blockNumber = 0;
    int m_nextIdentifier = 0;
    int m_nextNeighbor = 0;
    int m_nextIdle = 0;
    int m_nextUpdate = 0;
};
