#include "model/P25Class.h"

#include "decoder/Text.h"
#include "model/Locks.h"

namespace {

// Identifier tables received over the air are stored as confirmed.
constexpr uint8_t SourceConfirmed = 2;
// Over-the-air frequency fields count steps of 5 Hz, 125 Hz and 2.5 kHz.
constexpr double BaseStepHz = 5.0;
constexpr double HzToMhz = 0.000001;
constexpr double Step125HzMhz = 0.000125;
constexpr double Step2500HzMhz = 0.0025;

// The VHF/UHF bandwidth code counts 2.5 kHz steps, except code 4, which is 6.25 kHz.
double VhfUhfBandwidth(int code)
{
    constexpr int Code6250Hz = 4;
    constexpr double Bandwidth6250HzMhz = 0.00625;
    return code == Code6250Hz ? Bandwidth6250HzMhz : code * Step2500HzMhz;
}

int SystemIdAt(const uint8_t* block, int n)
{
    return static_cast<int>(Get16(block, n) & 0xFFF);
}

const char* NeighborStatusText(int status)
{
    return status & 1 ? "Connected" : "Failed";
}

double BaseAt(const uint8_t* block)
{
    return static_cast<double>(Get32(block, 6)) * BaseStepHz * HzToMhz;
}

// The transmit offset counts upwards when its sign bit is set.
double SignedOffset(double magnitude, bool positive)
{
    return positive ? magnitude : -magnitude;
}

IDENTABLE OverTheAirTable(double base, double txOffset, double spacing, double bandwidth, uint8_t slots)
{
    return {base, txOffset, spacing, bandwidth, SourceConfirmed, slots};
}

// The channel types of a TDMA identifier update that say how a carrier is divided.
struct TdmaChannelType
{
    uint8_t Slots;
    double Bandwidth;
    const char* ModeText;
};

// Types 6 to 15 are not defined: one slot, and the bandwidth left unknown (0).
TdmaChannelType TdmaChannelTypeOf(int type)
{
    switch (type) {
    case 0: return {1, 0.0125, " Mode: FDMA Half Rate (12.5)"};
    case 1: return {1, 0.0125, " Mode: FDMA Full Rate (12.5)"};
    case 2: return {1, 0.00625, " Mode: FDMA Half Rate (6.25)"};
    case 3: return {2, 0.0125, " Mode: TDMA Half Rate (12.5)"};
    case 4: return {4, 0.025, " Mode: TDMA Half Rate (25.0)"};
    case 5: return {2, 0.0125, " Mode: TDMA Half Rate (Half rate (H-D8PSK simul))"};
    default: return {1, 0.0, ""};
    }
}

constexpr char IdentifierUpdateText[] =
    "Identifier Update - ID: %02d  Base: %3.05f  Spacing: %3.05f  Bandwidth: %3.05f  TX Offset: %3.05f";

const char* MultiBlockTypeName(int type)
{
    switch (type) {
    case 0x00: return "(Group Voice Grant)";
    case 0x02: return "(Group Voice Grant Update)";
    case 0x03: return "(Group Voice Grant Explicit)";
    case 0x04: return "(Unit-Unit Voice Grant)";
    case 0x05: return "(Unit-Unit Answer Request)";
    case 0x06: return "(Unit-Unit Voice Grant Update)";
    case 0x07: return "(Unit-Unit Voice Grant Explicit)";
    case 0x08: return "(Telephone Voice Grant)";
    case 0x09: return "(Telephone Voice Grant Update)";
    case 0x0A: return "(Telephone Incomming Request)";
    case 0x10: return "(Individual Data Channel Grant)";
    case 0x11: return "(Group Data Channel Grant)";
    case 0x18: return "(Status Update)";
    case 0x1A: return "(Status Query)";
    case 0x1C: return "(Message Update)";
    case 0x1D: return "(Radio Unit Monitor Command)";
    case 0x1F: return "(Call Alert)";
    case 0x20: return "(ACK Response)";
    case 0x21: return "(Queued Response)";
    case 0x24: return "(Extended Function Command)";
    case 0x27: return "(Deny Response)";
    case 0x28: return "(Group Affiliation Response)";
    case 0x2A: return "(Group Affiliation Query)";
    case 0x2B: return "(Location Registration Response)";
    case 0x2C: return "(Unit Registration Response)";
    case 0x2D: return "(Unit Registration Command)";
    case 0x2E: return "(Unit Authentication Command)";
    case 0x2F: return "(De-Registration Ack)";
    case 0x34: return "(Identifier Update)";
    case 0x36: return "(Roaming Address Command)";
    case 0x37: return "(Roaming Address Update)";
    case 0x38: return "(System Service Broadcast)";
    case 0x39: return "(Secondary Control Channel Broadcast)";
    case 0x3A: return "(RFSS Status Broadcast)";
    case 0x3B: return "(Network Status Broadcast)";
    case 0x3C: return "(Neighbor Status Broadcast)";
    case 0x3D: return "(Identifier Update)";
    case 0x3E: return "(Protection Parameter Broadcast)";
    case 0x3F: return "(Protection Parameter Update)";
    default: return "(Unknown)";
    }
}

}

// RFSS_STS_BCST: status/system 3-4, RFSS 5, site 6, control channel 7-8, service class 9
bool P25Class::DecodeRfssStatusBroadcast(const uint8_t* block)
{
    const int sysId = SystemIdAt(block, 3);
    const int rfss = block[5];
    const int site = block[6];
    const int control = static_cast<int>(Get16(block, 7));
    // A new system resets the model here, so the control channel is entered afterwards.
    SetSystemAndSite(sysId, rfss, block[9], site);
    const bool channelsChanged = SetControlChannel(control, 0);
    SetSiteStatus(block[3] >> 4);
    if (WantsText())
        LogPacket(block, Format("RFSS Status Broadcast - SysID: %03X Status: %s Zone: %d Site: %d Control: %s Cap: %s",
                                sysId, block[3] & 0x10 ? "Connected" : "Site Trunked", rfss, site,
                                ChannelText(control).c_str(), ServiceClassText(block[9]).c_str()));
    if (channelsChanged)
        SetChannelsChanged();
    return true;
}

// NET_STS_BCST: WACN and system 3-6, control channel 7-8, service class 9
bool P25Class::DecodeNetworkStatusBroadcast(const uint8_t* block)
{
    const int wacn = static_cast<int>(Get32(block, 3) >> 12);
    const int control = static_cast<int>(Get16(block, 7));
    SetWacn(wacn);
    if (SetControlChannel(control, 0))
        SetChannelsChanged();
    if (WantsText())
        LogPacket(block, Format("Network Status Broadcast - WACN: %05X Control: %s Cap: %s", wacn,
                                ChannelText(control).c_str(), ServiceClassText(block[9]).c_str()));
    return true;
}

// ADJ_STS_BCST: status/system 3-4, RFSS 5, site 6, control channel 7-8, service class 9
bool P25Class::DecodeNeighborStatusBroadcast(const uint8_t* block)
{
    NEIGHBORREC neighbor;
    neighbor.SysId = SystemIdAt(block, 3);
    neighbor.RfssId = block[5];
    neighbor.SiteId = block[6];
    neighbor.Channel = static_cast<int>(Get16(block, 7));
    neighbor.Status = block[3] >> 4;
    UpdateNeighbor(neighbor);
    if (WantsText())
        LogPacket(block, Format("Neighbor Status Broadcast - SysID: %03x Zone: %d Site: %d Control: %s Status: %s "
                                "Cap: %s",
                                neighbor.SysId, neighbor.RfssId, neighbor.SiteId, ChannelText(neighbor.Channel).c_str(),
                                NeighborStatusText(neighbor.Status), ServiceClassText(block[9]).c_str()));
    return true;
}

// SCCB: RFSS 2, site 3, channel 1 4-5, class 1 6, channel 2 7-8, class 2 9
bool P25Class::DecodeAlternateControlBroadcast(const uint8_t* block)
{
    const int channel1 = static_cast<int>(Get16(block, 4));
    const int channel2 = static_cast<int>(Get16(block, 7));
    bool ourSite;
    {
        NamedLockGuard guard(Locks::SYSINFOLOCK);
        ourSite = block[2] == m_sysInfo.RfssId && block[3] == m_sysInfo.SiteId;
    }
    if (ourSite && MarkAlternateControlChannels(channel1, channel2))
        SetChannelsChanged();
    if (WantsText())
        LogPacket(block, Format("Alternate Control Broadcast - Channel 1: %s Cap: %s Channel 2: %s Cap: %s",
                                ChannelText(channel1).c_str(), ServiceClassText(block[6]).c_str(),
                                ChannelText(channel2).c_str(), ServiceClassText(block[9]).c_str()));
    return true;
}

// SCCB_EXP: RX channel 4-5, TX channel 7-8, service class 9
bool P25Class::DecodeExplicitAlternateControl(const uint8_t* block)
{
    const int rx = static_cast<int>(Get16(block, 4));
    const int tx = static_cast<int>(Get16(block, 7));
    if (MarkAlternateControlChannelExplicit(rx, tx))
        SetChannelsChanged();
    if (WantsText())
        LogPacket(block, Format("Explicit Alternate Control - RX Channel: %s TX Channel: %s Cap: %s",
                                ChannelText(rx).c_str(), ChannelText(tx).c_str(), ServiceClassText(block[9]).c_str()));
    return true;
}

// SYS_SRV_BCST: shown only.
bool P25Class::DecodeSystemServiceBroadcast(const uint8_t* block)
{
    if (WantsText())
        LogPacket(block, "System Service Broadcast");
    return true;
}

// IDEN_UP: identifier and bandwidth 2-3, offset 3-4, spacing 5, base 6-9
bool P25Class::DecodeIdentifierUpdate(const uint8_t* block)
{
    const int iden = block[2] >> 4;
    const double spacing = block[5] * Step125HzMhz;
    const double bandwidth = (Get16(block, 2) >> 3 & 0x1FF) * Step125HzMhz;
    const double txOffset = SignedOffset((Get16(block, 3) >> 2 & 0xFF) * 0.25, block[3] & 0x04);
    const double base = BaseAt(block);
    SetIdentifierTable(iden, OverTheAirTable(base, txOffset, spacing, bandwidth, 1));
    if (WantsText())
        LogPacket(block, Format(IdentifierUpdateText, iden, base, spacing, bandwidth, txOffset));
    return true;
}

// IDEN_UP_VU: identifier and bandwidth 2, offset 3-4, spacing 5, base 6-9
bool P25Class::DecodeVhfUhfIdentifierUpdate(const uint8_t* block)
{
    const int iden = block[2] >> 4;
    const double spacing = block[5] * Step125HzMhz;
    const double bandwidth = VhfUhfBandwidth(block[2] & 0x0F);
    const double txOffset = SignedOffset((Get16(block, 3) >> 2 & 0x1FFF) * spacing, block[3] & 0x80);
    const double base = BaseAt(block);
    if (SetIdentifierTable(iden, OverTheAirTable(base, txOffset, spacing, bandwidth, 1)) && WantsOtherEvents())
        LogEvent(block, Format("Updated Identifier Table %02d... Base: %3.05f Spacing: %3.05f Bandwidth: %3.05f "
                               "TX Offset: %3.05f ",
                               iden, base, spacing, bandwidth, txOffset));
    if (WantsText())
        LogPacket(block, Format(IdentifierUpdateText, iden, base, spacing, bandwidth, txOffset));
    return true;
}

// IDEN_UP_TDMA: identifier and channel type 2, offset 3-4, spacing 4-5, base 6-9
bool P25Class::DecodeTdmaIdentifierUpdate(const uint8_t* block)
{
    SetFlavor(2);
    const int iden = block[2] >> 4;
    const TdmaChannelType type = TdmaChannelTypeOf(block[2] & 0x0F);
    const double spacing = (Get16(block, 4) & 0x3FF) * Step125HzMhz;
    const double txOffset = SignedOffset((Get16(block, 3) >> 2 & 0x1FFF) * spacing, block[3] & 0x80);
    const double base = BaseAt(block);
    if (SetIdentifierTable(iden, OverTheAirTable(base, txOffset, spacing, type.Bandwidth, type.Slots)) &&
        WantsOtherEvents())
        LogEvent(block, Format("Updated Identifier Table %02d... Base: %3.05f Spacing: %3.05f Bandwidth: %3.05f "
                               "TX Offset: %3.05f Slots: %d",
                               iden, base, spacing, type.Bandwidth, txOffset, type.Slots));
    if (WantsText())
        LogPacket(block, Format("Phase 2 TDMA Identifier Update - ID: %02d  Base: %3.05f  Spacing: %3.05f  "
                                "Bandwidth: %3.05f  TX Offset: %3.05f  Slots: %d%s",
                                iden, base, spacing, type.Bandwidth, txOffset, type.Slots, type.ModeText));
    return true;
}

// SYNC_BCST: flags 3-4, year/month/day 5-6, hour/minute 7-8, micro-slots 8-9
bool P25Class::DecodeTdmaSyncBroadcast(const uint8_t* block)
{
    if (!WantsText())
        return true;
    std::string text = "TDMA Sync Broadcast -";
    if (block[3] & 0x04)
        text += " *Invalid*";
    text += Format(" %4d/%02d/%02d %02d:%02d", (block[5] >> 1) + 2000, (Get16(block, 5) & 0x1FF) >> 5, block[6] & 0x1F,
                   block[7] >> 3, Get16(block, 7) >> 5 & 0x3F);
    text += Format(" (%ld)", static_cast<long>(Get16(block, 8) & 0x1FFF));
    if (block[4] & 0x40) {
        const int offset = block[4] & 0x1F;
        text += Format(" %d", block[4] & 0x20 ? -offset : offset);
    }
    LogPacket(block, text);
    return true;
}

// Protection parameters are shown only when asked for; their layout is not decoded further.
bool P25Class::DecodeProtectionParameterBroadcast(const uint8_t* block)
{
    if (WantsText() && IsLogProtectionData())
        LogPacket(block, "Protection Parameter Broadcast - Current Format unknown");
    return true;
}

// P_PARM_UPDT: algorithm 4, key 5-6, radio 7-9
bool P25Class::DecodeProtectionParameterUpdate(const uint8_t* block)
{
    if (WantsText() && IsLogProtectionData())
        LogPacket(block, Format("Protection Parameter Update - AlgID: %02X  KeyID: %04X  Radio ID: %ld", block[4],
                                Get16(block, 5), static_cast<long>(Get24(block, 7))));
    return true;
}

// Multi-block header: status/system 4-5, follow count 6, type 7, RFSS 8, site 9. A
// header arrives alone when its packet failed the packet check; once a checked packet
// has been decoded, lone headers are left alone.
bool P25Class::DecodeMultiPacketHeader(const uint8_t* block)
{
    if (IsMultiBlockSeen() || !WantsText())
        return true;
    const int type = block[7] & 0x3F;
    const int sysId = SystemIdAt(block, 4);
    const int status = block[4] >> 4;
    std::string text = "MultiPacket -";
    if (type == 0x3A || type == 0x3B || type == 0x3C)
        text += Format(" SysID: %03X", sysId);
    text += Format(" Type: %02X%s", type, MultiBlockTypeName(type));
    if (type == 0x3A) {
        SetSiteStatus(status);
    } else if (type == 0x3C) {
        NEIGHBORREC neighbor;
        neighbor.SysId = sysId;
        neighbor.RfssId = block[8];
        neighbor.SiteId = block[9];
        neighbor.Channel = NoChannel;
        neighbor.Status = status;
        UpdateNeighbor(neighbor);
        text += Format(" Zone: %d Site: %d Status: %s", block[8], block[9], NeighborStatusText(status));
    }
    text += Format(" - Follow Count: %d", block[6] & 0x7F);
    LogPacket(block, text);
    return true;
}
