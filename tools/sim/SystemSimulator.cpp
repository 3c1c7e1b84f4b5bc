#include "sim/SystemSimulator.h"

#include <algorithm>

using namespace MessageEncoder;

namespace {

// Nominal control channel rate: 40 blocks a second.
constexpr uint64_t BlocksPerSecond = 40;
constexpr int ServiceClass = 0x70; // composite control, data and voice service
constexpr int FirstSupergroup = 65001;
constexpr int MaxPatches = 3;
constexpr int ChannelTypeTdmaHalfRate = 3;
constexpr int TdmaSlots = 2;

struct IdentifierTable
{
    int Iden;
    int Opcode; // 0x3D, 0x34 or 0x33
    double Base;
    double Spacing;
    double Bandwidth; // MHz for 0x3D; the bandwidth code or channel type otherwise
    double TxOffset;
};

constexpr IdentifierTable IdentifierTables[] = {
    {1, 0x3D, 851.00625, 0.00625, 0.0125, -45.0},
    {2, 0x34, 451.00625, 0.00625, 5, 5.0},
    {3, 0x34, 154.0, 0.0125, 5, 0.6},
    {4, 0x33, 851.00625, 0.0125, ChannelTypeTdmaHalfRate, -45.0},
};

int Channel(int iden, int number)
{
    return iden << 12 | (number & 0xFFF);
}

std::string Numbered(const char* title, int value)
{
    return std::string(title) + " " + std::to_string(value);
}

}

SystemSimulator::SystemSimulator(const SimulatorSettings& settings) : m_settings(settings), m_random(settings.Seed)
{
    m_settings.Talkgroups = std::clamp(m_settings.Talkgroups, 4, 60000);
    m_settings.Radios = std::clamp(m_settings.Radios, 4, 1000000);
    m_settings.CorruptPerMille = std::clamp(m_settings.CorruptPerMille, 0, 1000);

    m_wacn = static_cast<int>(0x1000 + Below(0xEF000));
    m_sysId = static_cast<int>(1 + Below(0xFFE));
    m_rfss = static_cast<int>(1 + Below(8));
    m_site = static_cast<int>(1 + Below(30));

    std::vector<int> numbers;
    while (numbers.size() < 9) {
        const int number = static_cast<int>(1 + Below(600));
        if (std::find(numbers.begin(), numbers.end(), number) == numbers.end())
            numbers.push_back(number);
    }
    m_controlChannel = Channel(1, numbers[0]);
    m_alternateChannel = Channel(1, numbers[1]);
    for (int i = 2; i < 8; ++i)
        m_voiceChannels.push_back(Channel(1, numbers[i]));
    m_voiceChannels.push_back(Channel(2, numbers[8]));
    m_voiceChannels.push_back(Channel(3, numbers[8] / 2 + 1));
    for (int carrier = 0; carrier < 2; ++carrier) {
        for (int slot = 0; slot < TdmaSlots; ++slot)
            m_voiceChannels.push_back(Channel(4, (numbers[2 + carrier] * TdmaSlots) + slot));
    }

    const int neighbors = static_cast<int>(3 + Below(3));
    for (int i = 0; i < neighbors; ++i) {
        const bool otherSystem = i == neighbors - 1;
        m_neighbors.push_back({otherSystem ? static_cast<int>(1 + Below(0xFFE)) : m_sysId, m_rfss,
                               (m_site + i) % 30 + 1,
                               Channel(1, static_cast<int>(601 + Below(400)))});
    }

    static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    m_callSign = "WQ";
    for (int i = 0; i < 3; ++i)
        m_callSign += letters[Below(26)];
    m_callSign += static_cast<char>('0' + Below(10));

    uint32_t total = 0;
    while (static_cast<int>(m_talkgroups.size()) < m_settings.Talkgroups) {
        const int id = static_cast<int>(1 + Below(FirstSupergroup - 1));
        if (std::find(m_talkgroups.begin(), m_talkgroups.end(), id) != m_talkgroups.end())
            continue;
        // A few talkgroups carry most of the traffic, as dispatch channels do.
        total += 1 + 1000 / static_cast<uint32_t>(m_talkgroups.size() + 1);
        m_talkgroups.push_back(id);
        m_talkgroupWeights.push_back(total);
    }
    for (int i = 0; i < m_settings.Radios; ++i)
        m_radios.push_back(static_cast<int>(1000000 + Below(9000000)));
}

uint32_t SystemSimulator::Below(uint32_t n)
{
    return n == 0 ? 0 : static_cast<uint32_t>(m_random() % n);
}

int SystemSimulator::PickTalkgroup()
{
    const uint32_t draw = Below(m_talkgroupWeights.back());
    const auto at = std::upper_bound(m_talkgroupWeights.begin(), m_talkgroupWeights.end(), draw);
    return m_talkgroups[static_cast<size_t>(at - m_talkgroupWeights.begin())];
}

// Each radio belongs to one talkgroup, the same every time it is asked.
int SystemSimulator::HomeTalkgroup(int radioIndex) const
{
    const uint32_t mixed = static_cast<uint32_t>(m_radios[static_cast<size_t>(radioIndex)]) * 2654435761u;
    return m_talkgroups[(mixed >> 8) % static_cast<uint32_t>(std::min<size_t>(m_talkgroups.size(), 24))];
}

int SystemSimulator::FreeChannel()
{
    std::vector<int> free;
    for (int channel : m_voiceChannels) {
        if (std::none_of(m_calls.begin(), m_calls.end(), [&](const Call& c) { return c.Channel == channel; }))
            free.push_back(channel);
    }
    return free.empty() ? -1 : free[Below(static_cast<uint32_t>(free.size()))];
}

int SystemSimulator::Options()
{
    if (OneIn(60))
        return Emergency;
    if (OneIn(12))
        return Encrypted;
    return 0x04; // priority 4, nothing else
}

SimulatedBlock SystemSimulator::Next()
{
    if (m_pending.empty())
        Fill();
    SimulatedBlock next = std::move(m_pending.front());
    m_pending.pop_front();
    ++m_blockNumber;
    return next;
}

void SystemSimulator::Emit(const TsbkBlock& block, const std::string& description)
{
    SimulatedBlock next{block, description, false, false};
    if (Below(1000) < static_cast<uint32_t>(m_settings.CorruptPerMille)) {
        next.Block[Below(TsbkSize)] ^= static_cast<uint8_t>(1u << Below(8));
        next.Corrupted = true;
    }
    m_pending.push_back(std::move(next));
}

void SystemSimulator::EmitPacket(const Packet& packet, const std::string& description)
{
    for (size_t i = 0; i < packet.size(); ++i) {
        Emit(packet[i], i == 0 ? "Multi-Block " + description : "Multi-Block data " + std::to_string(i));
        m_pending.back().InPacket = true;
    }
}

void SystemSimulator::Fill()
{
    const uint64_t n = m_blockNumber + m_pending.size();
    EndCalls();
    if (n % BlocksPerSecond == 0 || n % BlocksPerSecond == 20 || n % 100 == 10 || n % 160 == 30 ||
        n % 400 == 50 || n % 600 == 70 || n % 1200 == 90) {
        Broadcast(n);
        return;
    }
    const uint32_t draw = Below(1000);
    if (draw < 25)
        NewGroupCall();
    else if (draw < 60)
        Affiliation();
    else if (draw < 95)
        Registration();
    else if (draw < 103)
        NewPrivateCall();
    else if (draw < 105)
        NewPhoneCall();
    else if (draw < 125)
        DataTraffic();
    else if (draw < 135)
        PatchTraffic();
    else if (draw < 155)
        UnitTraffic();
    else if (draw < 165)
        VendorTraffic();
    else if (draw < 175)
        PacketBroadcast();
    else
        Update();
    if (m_pending.empty())
        IdleBroadcast();
}

void SystemSimulator::Broadcast(uint64_t n)
{
    if (n % BlocksPerSecond == 0) {
        Emit(RfssStatus(m_sysId, m_rfss, m_site, m_controlChannel, ServiceClass), "RFSS Status");
    } else if (n % BlocksPerSecond == 20) {
        Emit(NetworkStatus(m_wacn, m_sysId, m_controlChannel, ServiceClass), "Network Status");
    } else if (n % 100 == 10) {
        const IdentifierTable& t = IdentifierTables[m_nextIdentifier++ % std::size(IdentifierTables)];
        if (t.Opcode == 0x3D)
            Emit(IdentifierUpdate(t.Iden, t.Bandwidth, t.TxOffset, t.Spacing, t.Base), Numbered("Identifier Update", t.Iden));
        else if (t.Opcode == 0x34)
            Emit(IdentifierUpdateVhfUhf(t.Iden, static_cast<int>(t.Bandwidth), t.TxOffset, t.Spacing, t.Base),
                 Numbered("Identifier Update VHF/UHF", t.Iden));
        else
            Emit(IdentifierUpdateTdma(t.Iden, static_cast<int>(t.Bandwidth), t.TxOffset, t.Spacing, t.Base),
                 Numbered("Identifier Update TDMA", t.Iden));
    } else if (n % 160 == 30) {
        const Neighbor& b = m_neighbors[static_cast<size_t>(m_nextNeighbor++) % m_neighbors.size()];
        Emit(AdjacentStatus(b.SysId, b.Rfss, b.Site, b.Channel, ServiceClass), Numbered("Adjacent Status Site", b.Site));
    } else if (n % 400 == 50) {
        Emit(SecondaryControlChannel(m_rfss, m_site, m_controlChannel, ServiceClass, m_alternateChannel, ServiceClass),
             "Secondary Control Channel");
    } else if (n % 600 == 70) {
        Emit(SystemServiceBroadcast(0x00F000, 0x00FF00), "System Service");
    } else {
        // Call sign: on the control channel, or (as a CW ID) on a voice channel.
        const int channel = OneIn(2) ? m_controlChannel : m_voiceChannels[Below(4)];
        Emit(MotorolaBaseStationId(m_callSign, channel), "Base Station ID " + m_callSign);
    }
}

void SystemSimulator::EndCalls()
{
    std::erase_if(m_calls, [&](const Call& c) { return c.EndBlock <= m_blockNumber; });
    std::erase_if(m_patches, [&](const Patch& p) {
        if (p.EndBlock > m_blockNumber)
            return false;
        Emit(MotorolaPatchRelease(p.Supergroup, p.Members[0], p.Members[1], p.Members[2]),
             Numbered("Patch Release", p.Supergroup));
        return true;
    });
}

void SystemSimulator::NewGroupCall()
{
    const int radioIndex = static_cast<int>(Below(static_cast<uint32_t>(m_radios.size())));
    const int source = m_radios[static_cast<size_t>(radioIndex)];
    int talkgroup = OneIn(3) ? HomeTalkgroup(radioIndex) : PickTalkgroup();
    bool patched = false;
    for (const Patch& p : m_patches) {
        if (std::find(std::begin(p.Members), std::end(p.Members), talkgroup) != std::end(p.Members)) {
            talkgroup = p.Supergroup;
            patched = true;
        }
    }
    const int channel = FreeChannel();
    if (channel < 0) {
        Emit(QueuedResponse(0x00, 0x40, talkgroup, source), "Queued Response");
        return;
    }
    const int options = Options();
    const uint64_t seconds = 2 + Below(9);
    m_calls.push_back({CallKind::Group, channel, talkgroup, source, options, m_blockNumber + seconds * BlocksPerSecond});
    if (patched)
        Emit(MotorolaPatchedGroupVoiceGrant(options, channel, talkgroup, source), Numbered("Patched Group Voice Grant", talkgroup));
    else if (OneIn(12))
        EmitPacket(PacketGroupVoiceGrant(options, source, channel, channel, talkgroup), Numbered("Group Voice Grant", talkgroup));
    else
        Emit(GroupVoiceGrant(options, channel, talkgroup, source), Numbered("Group Voice Grant", talkgroup));
}

void SystemSimulator::NewPrivateCall()
{
    const int source = PickRadio();
    const int target = PickRadio();
    const int channel = FreeChannel();
    if (channel < 0) {
        Emit(DenyResponse(0x04, 0x20, target, source), "Deny Response");
        return;
    }
    m_calls.push_back({CallKind::Private, channel, target, source, 0, m_blockNumber + (3 + Below(13)) * BlocksPerSecond});
    if (OneIn(6))
        EmitPacket(PacketUnitToUnitVoiceGrant(m_wacn, m_sysId, source, target, channel, channel), "Unit-Unit Voice Grant");
    else
        Emit(UnitToUnitVoiceGrant(channel, target, source), "Unit-Unit Voice Grant");
}

void SystemSimulator::NewPhoneCall()
{
    const int radio = PickRadio();
    const int channel = FreeChannel();
    if (channel < 0)
        return;
    const int seconds = static_cast<int>(10 + Below(30));
    m_calls.push_back({CallKind::Phone, channel, 0, radio, 0, m_blockNumber + static_cast<uint64_t>(seconds) * BlocksPerSecond});
    if (OneIn(6))
        EmitPacket(PacketTelephoneVoiceGrant(0, radio, channel, channel, seconds * 10), "Telephone Voice Grant");
    else
        Emit(TelephoneVoiceGrant(0, channel, seconds * 10, radio), "Telephone Voice Grant");
}

void SystemSimulator::Affiliation()
{
    const int radioIndex = static_cast<int>(Below(static_cast<uint32_t>(m_radios.size())));
    const int radio = m_radios[static_cast<size_t>(radioIndex)];
    const int talkgroup = OneIn(4) ? PickTalkgroup() : HomeTalkgroup(radioIndex);
    const Result result = OneIn(10) ? static_cast<Result>(1 + Below(3)) : Result::Accept;
    const bool global = OneIn(8);
    if (OneIn(20))
        EmitPacket(PacketGroupAffiliationResponse(m_wacn, m_sysId, radio, radio, talkgroup, talkgroup, result),
                   "Group Affiliation Response");
    else
        Emit(GroupAffiliationResponse(global, result, global ? talkgroup : 0, talkgroup, radio),
             Numbered("Group Affiliation Response", talkgroup));
}

void SystemSimulator::Registration()
{
    const int radio = PickRadio();
    const uint32_t draw = Below(10);
    if (draw < 6) {
        const Result result = OneIn(12) ? Result::Deny : Result::Accept;
        if (OneIn(15))
            EmitPacket(PacketUnitRegistrationResponse(m_wacn, m_sysId, radio, radio, result), "Unit Registration");
        else
            Emit(UnitRegistrationResponse(result, m_sysId, radio, radio), Numbered("Unit Registration", radio));
    } else if (draw < 9) {
        Emit(DeregistrationResponse(m_wacn, m_sysId, radio), Numbered("De-Registration", radio));
    } else {
        Emit(LocationRegistrationResponse(Result::Accept, PickTalkgroup(), m_rfss, m_site, radio),
             Numbered("Location Registration", radio));
    }
}

void SystemSimulator::DataTraffic()
{
    const int radio = PickRadio();
    const int data = m_voiceChannels[Below(4)];
    switch (Below(5)) {
    case 0: Emit(PrivateDataGrant(data, PickRadio(), radio), "Private Data Grant"); break;
    case 1: Emit(GroupDataChannelGrant(0, data, PickTalkgroup(), radio), "Group Data Channel Grant"); break;
    case 2:
        Emit(GroupDataChannelAnnouncement(data, PickTalkgroup(), m_voiceChannels[Below(4)], PickTalkgroup()),
             "Group Data Channel Announcement");
        break;
    case 3: Emit(DataChannelGrantExplicit(data, data, radio), "Data Channel Grant Explicit"); break;
    default: Emit(DataChannelAnnouncementExplicit(0xC0, data, data, 0), "Data Channel Announcement"); break;
    }
}

void SystemSimulator::PatchTraffic()
{
    if (!m_patches.empty() && OneIn(2)) {
        const Patch& p = m_patches[Below(static_cast<uint32_t>(m_patches.size()))];
        Emit(MotorolaPatchAdd(p.Supergroup, p.Members[0], p.Members[1], p.Members[2]), Numbered("Patch", p.Supergroup));
        return;
    }
    if (static_cast<int>(m_patches.size()) >= MaxPatches)
        return;
    int supergroup = FirstSupergroup;
    while (std::any_of(m_patches.begin(), m_patches.end(), [&](const Patch& p) { return p.Supergroup == supergroup; }))
        ++supergroup;
    Patch patch{supergroup, {PickTalkgroup(), PickTalkgroup(), 0}, m_blockNumber + (60 + Below(120)) * BlocksPerSecond};
    patch.Members[2] = OneIn(2) ? PickTalkgroup() : patch.Members[0];
    m_patches.push_back(patch);
    Emit(MotorolaPatchAdd(patch.Supergroup, patch.Members[0], patch.Members[1], patch.Members[2]),
         Numbered("Patch", patch.Supergroup));
}

void SystemSimulator::UnitTraffic()
{
    const int source = PickRadio();
    const int target = PickRadio();
    switch (Below(5)) {
    case 0: Emit(CallAlert(target, source), "Call Alert"); break;
    case 1: Emit(UnitStatusUpdate(static_cast<int>(Below(256)), target, source), "Unit Status Update"); break;
    case 2: Emit(AcknowledgeResponse(0x1F, target, source), "Acknowledge Response"); break;
    case 3: Emit(DenyResponse(0x00, 0x31, PickTalkgroup(), source), "Deny Response"); break;
    default: Emit(QueuedResponse(0x04, 0x20, target, source), "Queued Response"); break;
    }
}

void SystemSimulator::VendorTraffic()
{
    switch (Below(4)) {
    case 0: Emit(MotorolaScanMarker(static_cast<int>(Below(256)), static_cast<int>(Below(256))), "Scan Marker"); break;
    case 1: Emit(HarrisEmergencyAlert(PickTalkgroup(), PickRadio()), "Harris Emergency Alert"); break;
    case 2: Emit(HarrisCallSign(m_callSign, m_voiceChannels[Below(4)]), "Harris Call Sign " + m_callSign); break;
    default: Emit(Tsbk(0x05, 0x42, {static_cast<int>(Below(256)), static_cast<int>(Below(256))}), "Vendor Message"); break;
    }
}

void SystemSimulator::PacketBroadcast()
{
    switch (Below(3)) {
    case 0:
        EmitPacket(PacketRfssStatus(m_sysId, m_rfss, m_site, m_controlChannel, m_controlChannel, ServiceClass),
                   "RFSS Status");
        break;
    case 1:
        EmitPacket(PacketNetworkStatus(m_wacn, m_sysId, m_controlChannel, m_controlChannel, ServiceClass),
                   "Network Status");
        break;
    default: {
        const Neighbor& b = m_neighbors[Below(static_cast<uint32_t>(m_neighbors.size()))];
        EmitPacket(PacketAdjacentStatus(b.SysId, b.Rfss, b.Site, b.Channel, b.Channel, ServiceClass), "Adjacent Status");
        break;
    }
    }
}

// Calls in progress are announced again and again while they last, group calls (two to
// a block) most often.
void SystemSimulator::Update()
{
    if (m_calls.empty())
        return;
    const Call* pick = &m_calls[static_cast<size_t>(m_nextUpdate++) % m_calls.size()];
    for (size_t i = 0; pick->Kind != CallKind::Group && i < m_calls.size() && !OneIn(4); ++i)
        pick = &m_calls[static_cast<size_t>(m_nextUpdate++) % m_calls.size()];
    const Call& a = *pick;
    switch (a.Kind) {
    case CallKind::Private:
        Emit(UnitToUnitVoiceGrantUpdate(a.Channel, a.Talkgroup, a.Source), "Unit-Unit Voice Grant Update");
        return;
    case CallKind::Phone: Emit(TelephoneVoiceGrantUpdate(0, a.Channel, 0, a.Source), "Telephone Voice Grant Update"); return;
    case CallKind::Group: break;
    }
    if (a.Talkgroup >= FirstSupergroup) {
        Emit(MotorolaPatchedGroupVoiceGrantUpdate(a.Channel, a.Talkgroup, a.Channel, a.Talkgroup),
             Numbered("Patched Group Voice Grant Update", a.Talkgroup));
        return;
    }
    if (OneIn(8)) {
        Emit(ExplicitGroupVoiceGrantUpdate(a.Options, a.Channel, a.Channel, a.Talkgroup),
             Numbered("Explicit Group Voice Grant Update", a.Talkgroup));
        return;
    }
    const Call* b = &a;
    for (const Call& c : m_calls) {
        if (c.Kind == CallKind::Group && c.Channel != a.Channel && c.Talkgroup < FirstSupergroup && OneIn(2))
            b = &c;
    }
    Emit(GroupVoiceGrantUpdate(a.Channel, a.Talkgroup, b->Channel, b->Talkgroup), Numbered("Group Voice Grant Update", a.Talkgroup));
}

void SystemSimulator::IdleBroadcast()
{
    const Neighbor& b = m_neighbors[static_cast<size_t>(m_nextIdle) % m_neighbors.size()];
    switch (m_nextIdle++ % 3) {
    case 0: Emit(RfssStatus(m_sysId, m_rfss, m_site, m_controlChannel, ServiceClass), "RFSS Status"); break;
    case 1: Emit(NetworkStatus(m_wacn, m_sysId, m_controlChannel, ServiceClass), "Network Status"); break;
    default: Emit(AdjacentStatus(b.SysId, b.Rfss, b.Site, b.Channel, ServiceClass), Numbered("Adjacent Status Site", b.Site)); break;
    }
}
