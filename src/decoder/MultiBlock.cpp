#include "model/P25Class.h"

#include <algorithm>
#include <string>

#include "decoder/Text.h"

namespace {

constexpr int MaxPacketBlocks = 1 + MaxPacketDataBlocks;

// A block the packet does not hold reads as all ones, so that a channel in it reads as no
// channel instead of the leftover of an earlier packet in the assembly area.
constexpr uint8_t AbsentBlock[TsbkSize] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

const uint8_t* FieldBlock(const PacketRecord& packet, int k)
{
    return k < packet.BlockCount ? packet.Blocks[k] : AbsentBlock;
}

// The block a text is logged with: block k, or the packet's last block when it is shorter.
const uint8_t* LogBlock(const PacketRecord& packet, int k)
{
    return packet.Blocks[std::min(k, packet.BlockCount - 1)];
}

int Follow(const uint8_t* header)
{
    return header[6] & 0x7F;
}

int Address(const uint8_t* block, int n)
{
    return static_cast<int>(Get24(block, n));
}

struct SystemIdentity
{
    int Wacn;
    int SysId;
};

// WACN and system ID as one 32-bit word in block 1 bytes 0-3.
SystemIdentity WordLayout(const uint8_t* block1)
{
    const uint32_t word = Get32(block1, 0);
    return {static_cast<int>(word >> 12), static_cast<int>(word & 0xFFF)};
}

// WACN split between the high half of block 1 byte 0 and header bytes 8-9; the system ID
// follows in the low half of block 1 byte 0 and block 1 byte 1.
SystemIdentity SplitLayout(const uint8_t* header, const uint8_t* block1)
{
    return {(block1[0] >> 4) << 16 | header[8] << 8 | header[9], (block1[0] & 0x0F) << 8 | block1[1]};
}

int HeaderSysId(const uint8_t* header)
{
    return (header[4] & 0x0F) << 8 | header[5];
}

const char* ResponseName(int response)
{
    static const char* const names[4] = {"Accept", "Fail", "Deny", "Refused"};
    return names[response & 3];
}

// The first text of the addressed responses: system, target, WACN and the blocks to follow.
std::string AddressedHeaderText(const char* title, const uint8_t* header, const SystemIdentity& id)
{
    return Format("%s SysID: %03X Target Address: %d WACN: %05X Follow: %d", title, id.SysId, Address(header, 3),
                  id.Wacn, Follow(header));
}

}

bool P25Class::DecodeMultiBlock(const PacketRecord& packet)
{
    SetMultiBlockSeen(true);
    const uint8_t* header = packet.Blocks[0];
    const int opcode = header[7] & 0x3F;
    const int mfid = header[2];
    // Every message reads block 1; a record that holds none, or more blocks than fit, is malformed.
    const bool wellFormed = packet.BlockCount >= 2 && packet.BlockCount <= MaxPacketBlocks;
    const bool handled = wellFormed && DecodeMultiBlockMessage(packet, opcode, mfid);
    if (!handled)
        LogUnknownMultiBlock(packet, opcode, mfid);
    return handled;
}

bool P25Class::DecodeMultiBlockMessage(const PacketRecord& packet, int opcode, int mfid)
{
    const int blocks = packet.BlockCount;
    switch (opcode) {
    case 0x00:
        return mfid == 0x00 && DecodeMultiBlockGroupVoiceGrant(packet, false);
    case 0x02:
        return mfid == 0x90 && DecodeMultiBlockGroupVoiceGrant(packet, true);
    case 0x04:
    case 0x06:
    case 0x07:
        return mfid == 0x00 && DecodeMultiBlockUnitToUnitVoiceGrant(packet, opcode);
    case 0x08:
        return mfid == 0x00 && DecodeMultiBlockTelephoneVoiceGrant(packet);
    case 0x10:
        return mfid == 0x00 && DecodeMultiBlockIndividualDataGrant(packet);
    case 0x18:
    case 0x1A:
    case 0x1C:
        return mfid == 0x00 && DecodeMultiBlockStatusMessage(packet, opcode);
    case 0x28:
        return mfid == 0x00 && blocks == 3 && DecodeMultiBlockGroupAffiliationResponse(packet);
    case 0x2C:
        return mfid == 0x00 && (blocks == 2 || blocks == 3) && DecodeMultiBlockUnitRegistrationResponse(packet);
    case 0x31:
        return mfid == 0x00 && DecodeMultiBlockAuthenticationDemand(packet);
    case 0x3A:
        return mfid == 0x00 && DecodeMultiBlockRfssStatus(packet);
    case 0x3B:
        return mfid == 0x00 && DecodeMultiBlockNetworkStatus(packet);
    case 0x3C:
        return mfid == 0x00 && DecodeMultiBlockNeighborStatus(packet);
    default:
        return false;
    }
}

// GRP_V_CH_GRANT: source header 3-5, options header 8; channel, input channel, group at
// block 1 bytes 2, 4, 6 (the Motorola patched form: bytes 0, 2, 4).
bool P25Class::DecodeMultiBlockGroupVoiceGrant(const PacketRecord& packet, bool patched)
{
    const uint8_t* header = packet.Blocks[0];
    const uint8_t* block1 = packet.Blocks[1];
    const int at = patched ? 0 : 2;
    const int channel = Get16(block1, at);
    const int inputChannel = Get16(block1, at + 2);
    const int talkgroup = Get16(block1, at + 4);
    if (talkgroup == 0)
        return true;
    const int source = Address(header, 3);
    const std::string options = NotesText(header[8]);
    AddTalkgroup(talkgroup);
    if (GroupVoiceGrant(channel, inputChannel, options, source, talkgroup, header[8]))
        SetChannelsChanged();
    if (IsEncryptedEmergency(header[8]))
        MarkTalkgroupEncrypted(talkgroup);
    if (!IsPktDumpVisible())
        return true;
    const char* title = patched ? "Patched Multi-Block Group Voice Grant" : "Multi-Block Group Voice Grant";
    LogPacket(header, Format("%s 1 - Radio ID: %d%s%s Follow: %d", title, source, options.empty() ? "" : " Notes: ",
                             options.c_str(), Follow(header)));
    LogPacket(block1, Format("%s 2 - Channel: %s Input Channel: %s Group: %d", title, ChannelText(channel).c_str(),
                             ChannelText(inputChannel).c_str(), talkgroup));
    return true;
}

// UU_V_CH_GRANT (0x04), its update (0x06) and the form with the first radio in the header
// (0x07): WACN and system block 1 0-3, first radio block 1 4-6 (0x07: header 3-5), second
// radio block 1 7-9, channel block 1 10-11, input channel block 2 0-1.
bool P25Class::DecodeMultiBlockUnitToUnitVoiceGrant(const PacketRecord& packet, int opcode)
{
    const uint8_t* header = packet.Blocks[0];
    const uint8_t* block1 = packet.Blocks[1];
    const int channel = Get16(block1, 10);
    const int inputChannel = Get16(FieldBlock(packet, 2), 0);
    const int blockSource = Address(block1, 4);
    const int firstRadio = opcode == 0x07 ? Address(header, 3) : blockSource;
    const int secondRadio = Address(block1, 7);
    bool changed = opcode != 0x07 && SetChannelTalkgroup(channel, firstRadio);
    changed = PrivateVoiceGrantUpdate(channel, firstRadio, secondRadio) || changed;
    if (changed)
        SetChannelsChanged();
    if (!IsPktDumpVisible())
        return true;
    const SystemIdentity id = WordLayout(block1);
    SetWacn(id.Wacn);
    const char* title =
        opcode == 0x06 ? "Multi-Block Unit-Unit Voice Grant Update" : "Multi-Block Unit-Unit Voice Grant";
    LogPacket(header, Format("%s 1 - Radio ID: %d Follow: %d", title, firstRadio, Follow(header)));
    LogPacket(header, Format("%s 2 - WACN: %05X SysID: %03X Source ID: %d Target ID: %d Channel: %s", title, id.Wacn,
                             id.SysId, blockSource, secondRadio, ChannelText(channel).c_str()));
    LogPacket(block1, Format("%s 3 - Input Channel: %s", title, ChannelText(inputChannel).c_str()));
    return true;
}

// TELE_INT_CH_GRANT: radio header 3-5, options header 8; channel, input channel and call
// timer at block 1 bytes 0, 2, 4.
bool P25Class::DecodeMultiBlockTelephoneVoiceGrant(const PacketRecord& packet)
{
    const uint8_t* header = packet.Blocks[0];
    const uint8_t* block1 = packet.Blocks[1];
    const int channel = Get16(block1, 0);
    const int inputChannel = Get16(block1, 2);
    const int radio = Address(header, 3);
    const std::string options = NotesText(header[8]);
    if (PhoneGrant(channel, radio, options, header[8]))
        SetChannelsChanged();
    if (!IsPktDumpVisible())
        return true;
    LogPacket(header, Format("Multi-Block Telephone Voice Grant 1 - Radio ID: %d%s%s Follow: %d", radio,
                             options.empty() ? "" : " Notes: ", options.c_str(), Follow(header)));
    LogPacket(header, Format("Multi-Block Telephone Voice Grant 2 - Channel: %s Input Channel: %s Timer: %d",
                             ChannelText(channel).c_str(), ChannelText(inputChannel).c_str(),
                             static_cast<int>(Get16(block1, 4))));
    return true;
}

// IND_DATA_CH_GRANT: source header 3-5, options header 8, WACN and system block 1 0-3,
// target block 1 7-9, transmit channel block 1 10-11, receive channel block 2 0-1.
bool P25Class::DecodeMultiBlockIndividualDataGrant(const PacketRecord& packet)
{
    if (!IsPktDumpVisible())
        return true;
    const uint8_t* header = packet.Blocks[0];
    const uint8_t* block1 = packet.Blocks[1];
    const int source = Address(header, 3);
    const SystemIdentity id = WordLayout(block1);
    LogPacket(header, Format("Multi-Block Individual Data Grant 1 - Source ID: %d Service Options: %02X Follow: %d",
                             source, header[8], Follow(header)));
    LogPacket(block1, Format("Multi-Block Individual Data Grant 2 - WACN: %05X SysID: %03X Source Address: %d "
                             "Target Address: %d TX Channel: %s",
                             id.Wacn, id.SysId, source, Address(block1, 7),
                             ChannelText(static_cast<int>(Get16(block1, 10))).c_str()));
    LogPacket(LogBlock(packet, 2),
              Format("Multi-Block Individual Data Grant 3 - RX Channel: %s",
                     ChannelText(static_cast<int>(Get16(FieldBlock(packet, 2), 0))).c_str()));
    return true;
}

// STS_UPDT (0x18), STS_Q (0x1A), MSG_UPDT (0x1C): target header 3-5, source block 1 2-4,
// WACN and system split, status block 1 5-6, message value the low 12 bits of block 1 5-6.
bool P25Class::DecodeMultiBlockStatusMessage(const PacketRecord& packet, int opcode)
{
    if (!IsPktDumpVisible())
        return true;
    const uint8_t* header = packet.Blocks[0];
    const uint8_t* block1 = packet.Blocks[1];
    const SystemIdentity id = SplitLayout(header, block1);
    const char* title = opcode == 0x18   ? "Multi-Block Status Update"
                        : opcode == 0x1A ? "Multi-Block Status Query"
                                         : "Multi-Block Message Update";
    LogPacket(header, Format("%s 1 - TargetID: %d WACN: %05X Follow: %d", title, Address(header, 3), id.Wacn,
                             Follow(header)));
    std::string text = Format("%s 2 - SourceID: %d SysID: %03X", title, Address(block1, 2), id.SysId);
    if (opcode == 0x18)
        text += Format(" Status: %04X", Get16(block1, 5));
    else if (opcode == 0x1C)
        text += Format(" Value: %04X", Get16(block1, 5) & 0xFFF);
    LogPacket(block1, text);
    return true;
}

// GRP_AFF_RSP: target header 3-5, WACN and system split, source block 1 2-4, group WACN
// block 1 5-7 (high half of 7), group system low half of 7 and 8, group 9-10, announcement
// group block 1 11 and block 2 0, response block 2 1.
bool P25Class::DecodeMultiBlockGroupAffiliationResponse(const PacketRecord& packet)
{
    if (!IsPktDumpVisible())
        return true;
    const uint8_t* header = packet.Blocks[0];
    const uint8_t* block1 = packet.Blocks[1];
    const uint8_t* block2 = packet.Blocks[2];
    const int groupWacn = static_cast<int>(Get24(block1, 5) >> 4);
    const int groupSysId = (block1[7] & 0x0F) << 8 | block1[8];
    LogPacket(header, AddressedHeaderText("Multi-Block Group Affiliation Response 1 -", header,
                                          SplitLayout(header, block1)));
    LogPacket(block1, Format("Multi-Block Group Affiliation Response  2 - Source ID: %d Group WACN: %05X "
                             "Group SID: %d Group ID: %03X",
                             Address(block1, 2), groupWacn, groupSysId, Get16(block1, 9)));
    LogPacket(block2, Format("Multi-Block Group Affiliation Response  3 - Announce Group ID: %d Status: %s",
                             block1[11] << 8 | block2[0], ResponseName(block2[1])));
    return true;
}

// U_REG_RSP: target header 3-5, WACN and system split; 2 blocks: working ID block 1 2-4,
// response block 1 5; 3 blocks: source block 1 2-4, working ID 5-7, response 8.
bool P25Class::DecodeMultiBlockUnitRegistrationResponse(const PacketRecord& packet)
{
    if (!IsPktDumpVisible())
        return true;
    const uint8_t* header = packet.Blocks[0];
    const uint8_t* block1 = packet.Blocks[1];
    LogPacket(header,
              AddressedHeaderText("Multi-Block Unit Registration 1 -", header, SplitLayout(header, block1)));
    if (packet.BlockCount == 2) {
        LogPacket(block1, Format("Multi-Block Unit Registration  2 - WorkingID: %d Status: %s", Address(block1, 2),
                                 ResponseName(block1[5])));
        return true;
    }
    LogPacket(block1, Format("Multi-Block Unit Registration  2 - SourceID: %d WorkingID: %d Status: %s",
                             Address(block1, 2), Address(block1, 5), ResponseName(block1[8])));
    LogPacket(block1, "Multi-Block Unit Registration  3 - (No Usable Data)");
    return true;
}

// AUTH_DMD: target header 3-5, WACN and system split, target again block 1 2-4; the rest
// is the random challenge.
bool P25Class::DecodeMultiBlockAuthenticationDemand(const PacketRecord& packet)
{
    if (!IsPktDumpVisible())
        return true;
    const uint8_t* header = packet.Blocks[0];
    const uint8_t* block1 = packet.Blocks[1];
    LogPacket(header, AddressedHeaderText("Multi-Block AUTH_DMD 1 -", header, SplitLayout(header, block1)));
    LogPacket(block1, Format("Multi-Block AUTH_DMD  2 - TargetID: %d (Random Data)", Address(block1, 2)));
    LogPacket(block1, "Multi-Block AUTH_DMD  3 - (Random Data)");
    return true;
}

// RFSS_STS_BCST: site status high half of header 4, system low half of 4 and 5; RFSS block 1
// byte 0, site 1, control channel 2-3, its input channel 4-5, service class 6.
bool P25Class::DecodeMultiBlockRfssStatus(const PacketRecord& packet)
{
    const uint8_t* header = packet.Blocks[0];
    const uint8_t* block1 = packet.Blocks[1];
    const int sysId = HeaderSysId(header);
    const int siteStatus = header[4] >> 4;
    const int channel = Get16(block1, 2);
    const int inputChannel = Get16(block1, 4);
    const uint8_t serviceClass = block1[6];
    SetSystemAndSite(sysId, block1[0], serviceClass, block1[1]);
    // A new system or site clears the mark with the old lists, but this packet belongs to the new one.
    SetMultiBlockSeen(true);
    const bool controlChanged = SetControlChannel(channel, inputChannel);
    SetSiteStatus(siteStatus);
    if (IsPktDumpVisible()) {
        LogPacket(header, Format("Multi-Block RFSS Status Broadcast 1 - SysID: %03X Status: %s Follow: %d", sysId,
                                 siteStatus & 1 ? "Connected" : "Site Trunked", Follow(header)));
        LogPacket(block1, Format("Multi-Block RFSS Status Broadcast 2 - RFSS: %d Site: %d Control tx: %s "
                                 "Control rx: %s Cap: %s",
                                 block1[0], block1[1], ChannelText(channel).c_str(), ChannelText(inputChannel).c_str(),
                                 ServiceClassText(serviceClass).c_str()));
    }
    if (controlChanged)
        SetChannelsChanged();
    return true;
}

// NET_STS_BCST: system low half of header 4 and 5; WACN block 1 0-2 (high 20 bits of 0-3),
// control channel 3-4, its input channel 5-6, service class 7.
bool P25Class::DecodeMultiBlockNetworkStatus(const PacketRecord& packet)
{
    const uint8_t* header = packet.Blocks[0];
    const uint8_t* block1 = packet.Blocks[1];
    const int wacn = WordLayout(block1).Wacn;
    const int channel = Get16(block1, 3);
    const int inputChannel = Get16(block1, 5);
    SetWacn(wacn);
    const bool controlChanged = SetControlChannel(channel, inputChannel);
    if (IsPktDumpVisible()) {
        LogPacket(header, Format("Multi-Block Network Status Broadcast 1 - SysID: %03X Follow: %d",
                                 HeaderSysId(header), Follow(header)));
        LogPacket(block1, Format("Multi-Block Network Status Broadcast 2 - WACN: %05X Control tx: %s Control rx: %s "
                                 "Cap: %s",
                                 wacn, ChannelText(channel).c_str(), ChannelText(inputChannel).c_str(),
                                 ServiceClassText(block1[7]).c_str()));
    }
    if (controlChanged)
        SetChannelsChanged();
    return true;
}

// ADJ_STS_BCST: status high half of header 4, system low half of 4 and 5, RFSS header 8,
// site 9; control channel block 1 0-1, its input channel 2-3, service class 5.
bool P25Class::DecodeMultiBlockNeighborStatus(const PacketRecord& packet)
{
    const uint8_t* header = packet.Blocks[0];
    const uint8_t* block1 = packet.Blocks[1];
    const int sysId = HeaderSysId(header);
    const int status = header[4] >> 4;
    const int channel = Get16(block1, 0);
    NEIGHBORREC neighbor;
    neighbor.SysId = sysId;
    neighbor.RfssId = header[8];
    neighbor.SiteId = header[9];
    neighbor.Channel = channel;
    neighbor.Status = status;
    UpdateNeighbor(neighbor);
    if (!IsPktDumpVisible())
        return true;
    LogPacket(header, Format("Multi-Block Neighbor Status Broadcast 1 - SysID: %03x RFSS: %d SiteID: %d Status: %s "
                             "Follow: %d",
                             sysId, header[8], header[9], status & 1 ? "Connected" : "Failed", Follow(header)));
    LogPacket(block1, Format("Multi-Block Neighbor Status Broadcast 2 - Control tx: %s Control rx: %s Cap: %s",
                             ChannelText(channel).c_str(), ChannelText(static_cast<int>(Get16(block1, 2))).c_str(),
                             ServiceClassText(block1[5]).c_str()));
    return true;
}

void P25Class::LogUnknownMultiBlock(const PacketRecord& packet, int opcode, int mfid)
{
    if (!IsUnknownsVisible())
        return;
    if (GetSystemId() == 0 || GetRfssId() == 0 || GetSiteId() == 0)
        return;
    const std::string names = Format(" - OpCode: %02X (", opcode) + OpcodeName(opcode) +
                              Format(") Mfg: %02X (%s)", mfid, ManufacturerName(mfid));
    const int blocks = std::clamp(packet.BlockCount, 0, MaxPacketBlocks);
    for (int i = 0; i < blocks; ++i)
        LogUnknownPacket(packet.Blocks[i], Format("Multi-Block Unknown %d", i) + names);
}
