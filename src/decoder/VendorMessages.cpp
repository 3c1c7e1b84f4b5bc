#include "model/P25Class.h"

#include <iterator>

#include "decoder/Text.h"

namespace {

// Call sign characters are 6-bit values offset by the maker's base.
constexpr int MotorolaCallSignOffset = 43;
constexpr int HarrisCallSignOffset = 46;

// Up to 8 characters in the 6-bit values of bytes 2-4 and 5-7, first character on top;
// a value of 0 ends the sign.
std::string CallSign(const uint8_t* block, int offset)
{
    std::string sign;
    for (const int field : {2, 5}) {
        const uint32_t bits = Get24(block, field);
        for (int shift = 18; shift >= 0; shift -= 6) {
            const int value = static_cast<int>(bits >> shift & 0x3F);
            if (value == 0)
                return sign;
            sign += static_cast<char>(value + offset);
        }
    }
    return sign;
}

std::string ManufacturerTag(int mfid)
{
    return Format(" Mfg %02X(%s)", mfid, P25Class::ManufacturerName(mfid));
}

}

// Motorola patch add: supergroup 2-3, members 4-5, 6-7, 8-9
bool P25Class::DecodeMotPatchInformation(const uint8_t* block)
{
    const int supergroup = static_cast<int>(Get16(block, 2));
    const int members[] = {static_cast<int>(Get16(block, 8)), static_cast<int>(Get16(block, 4)),
                           static_cast<int>(Get16(block, 6))};
    // Unused member slots carry the supergroup itself or 0; neither is a patch.
    for (const int member : members)
        if (member != 0)
            AddPatch(member, supergroup);
    if (WantsText())
        LogPacket(block, "Patch Information -" + ManufacturerTag(block[1]) +
                             Format(" SuperGroup: %d Member Groups: %d,%d,%d", supergroup, members[0], members[1],
                                    members[2]));
    return true;
}

// Motorola patch delete: supergroup 2-3, members 4-5, 6-7, 8-9
bool P25Class::DecodeMotPatchRelease(const uint8_t* block)
{
    const int supergroup = static_cast<int>(Get16(block, 2));
    const int members[] = {static_cast<int>(Get16(block, 4)), static_cast<int>(Get16(block, 6)),
                           static_cast<int>(Get16(block, 8))};
    RemovePatch(supergroup);
    // A member may itself head a patch of its own.
    for (const int member : members)
        if (member != supergroup && member != 0)
            RemovePatch(member);
    if (WantsText())
        LogPacket(block, "Patch Release -" + ManufacturerTag(block[1]) +
                             Format(" Groups: %d,%d,%d,%d", supergroup, members[0], members[1], members[2]));
    return true;
}

// Motorola patched GRP_V_CH_GRANT: options 2, channel 3-4, group 5-6, source 7-9
bool P25Class::DecodeMotPatchedGroupVoiceGrant(const uint8_t* block)
{
    const int channel = static_cast<int>(Get16(block, 3));
    const int talkgroup = static_cast<int>(Get16(block, 5));
    const int source = static_cast<int>(Get24(block, 7));
    const std::string notes = NotesText(block[2]);
    AddTalkgroup(talkgroup);
    if (GroupVoiceGrant(channel, 0, notes, source, talkgroup, block[2]))
        SetChannelsChanged();
    if (IsEncryptedEmergency(block[2]))
        MarkTalkgroupEncrypted(talkgroup);
    if (WantsText()) {
        std::string text = "Patched Group Voice Grant -" + ManufacturerTag(block[1]) +
                           Format(" Group: %d Channel: %s Radio ID: %d", talkgroup, ChannelText(channel).c_str(), source);
        if (!notes.empty())
            text += " Notes: " + notes;
        LogPacket(block, text);
    }
    return true;
}

// Motorola patched GRP_V_CH_GRANT_UPDT: channel A 2-3, group A 4-5, channel B 6-7, group B 8-9
bool P25Class::DecodeMotPatchedGroupVoiceGrantUpdate(const uint8_t* block)
{
    const int channelA = static_cast<int>(Get16(block, 2));
    const int groupA = static_cast<int>(Get16(block, 4));
    const int channelB = static_cast<int>(Get16(block, 6));
    const int groupB = static_cast<int>(Get16(block, 8));
    AddTalkgroup(groupA);
    if (groupB != groupA)
        AddTalkgroup(groupB);
    bool changed = GroupVoiceGrantUpdate(channelA, 0, groupA);
    if (channelB != channelA)
        changed = GroupVoiceGrantUpdate(channelB, 0, groupB) || changed;
    if (changed)
        SetChannelsChanged();
    if (WantsText())
        LogPacket(block, "Patched Group Voice Grant Update -" + ManufacturerTag(block[1]) +
                             Format(" Group: %d Channel: %s Group: %d Channel: %s", groupA,
                                    ChannelText(channelA).c_str(), groupB, ChannelText(channelB).c_str()));
    return true;
}

// Motorola dynamic regroup (class 0x02): command 3, group 4-5, radio 7-9
bool P25Class::DecodeMotRegroup(const uint8_t* block)
{
    static constexpr const char* titles[] = {"Regroup -", "Cancel Regroup -", "Lock Regroup -", "Unlock Regroup -",
                                             "Regroup ChangeMe -"};
    const int command = block[3] & 0x7F;
    const int talkgroup = static_cast<int>(Get16(block, 4));
    const bool known = command < static_cast<int>(std::size(titles));
    AddTalkgroup(talkgroup);
    if (WantsEventText()) {
        std::string text = (known ? titles[command] : "Unknown Regroup Command -") + ManufacturerTag(block[1]) +
                           Format(" RadioID: %d", static_cast<int>(Get24(block, 7)));
        if (command == 0)
            text += Format(" Group: %d", talkgroup);
        LogEventText(block, text);
    }
    // An unknown command is shown, and still left to the unknown-block handling.
    return known;
}

// Motorola opcode 0x05: shown by its opcode only
bool P25Class::DecodeMotTextOnly05(const uint8_t* block)
{
    if (WantsText())
        LogPacket(block, "Unknown Op=05" + ManufacturerTag(block[1]));
    return true;
}

// Motorola patched QUE_RSP: reason 3, source 4-6, target 7-9
bool P25Class::DecodeMotQueuedResponse(const uint8_t* block)
{
    const int source = static_cast<int>(Get24(block, 4));
    const int target = static_cast<int>(Get24(block, 7));
    LogQueued(source, target, false);
    if (WantsEventText())
        LogEventText(block, Format("Queued Response (Patched): %d -> %d: %s", target, source,
                                   QueueReasonText(block[3])) +
                                ManufacturerTag(block[1]));
    return true;
}

// Motorola patched DENY_RSP: service type 2, reason 3, target 4-6 (or group 5-6), source 7-9
bool P25Class::DecodeMotDenyResponse(const uint8_t* block)
{
    if ((block[3] & 0x04) && block[2] == 0x80)
        RecordAffiliation('A', static_cast<int>(Get24(block, 7)), "Affiliate", static_cast<int>(Get16(block, 5)));
    if (WantsEventText())
        LogEventText(block, DenyResponseText(block, true));
    return true;
}

// Motorola RCM acknowledge: function 2, radio 4-6, radio 7-9
bool P25Class::DecodeMotRcmAck(const uint8_t* block)
{
    if (WantsEventText())
        LogEventText(block, "RCM Ack Op=08" + ManufacturerTag(block[1]) +
                                Format(" Radio ID1 : %d Radio ID2 : %dFunction: %02X",
                                       static_cast<int>(Get24(block, 7)), static_cast<int>(Get24(block, 4)),
                                       block[2]));
    return true;
}

// Motorola scan marker: bytes 2 and 3 shown bit by bit
bool P25Class::DecodeMotScanMarker(const uint8_t* block)
{
    if (WantsText())
        LogPacket(block, "Scan Marker -  Binary Value: " + BitsText(block[2]) + " " + BitsText(block[3]));
    return true;
}

// Motorola opcode 0x0A, probably an emergency activation: group 5-6, radio 7-9
bool P25Class::DecodeMotEmergencyActivation(const uint8_t* block)
{
    const int talkgroup = static_cast<int>(Get16(block, 5));
    if (talkgroup == 0)
        return true;
    AddTalkgroup(talkgroup);
    if (WantsText())
        LogPacket(block, Format("Unknown Motorola 0x0A (Emergency Activation?) - Group: %d Radio ID: %d", talkgroup,
                                static_cast<int>(Get24(block, 7))));
    return true;
}

// MOT_BSI_GRANT: call sign 2-7, channel 8-9
bool P25Class::DecodeMotBsiGrant(const uint8_t* block)
{
    const std::string sign = CallSign(block, MotorolaCallSignOffset);
    const int channel = static_cast<int>(Get16(block, 8));
    // The control channel keeps its use; only other channels become station ID channels.
    const bool control = IsControlChannel(channel);
    if (!sign.empty()) {
        AddCallSign(sign);
        if (!control && SetChannelStationId(channel, sign))
            SetChannelsChanged();
    }
    if (WantsText()) {
        const char* shown = sign.empty() ? "N/A" : sign.c_str();
        LogPacket(block, control ? Format("MOT_BSI_GRANT (CC) - Call Sign: %s", shown)
                                 : Format("MOT_BSI_GRANT (CWID) - Channel: %s Call Sign: %s",
                                          ChannelText(channel).c_str(), shown));
    }
    return true;
}

// Motorola X2 TDMA IDEN_UP: identifier 2 (high half), TX offset 3-4 (sign bit 15), spacing 5, base 6-9
bool P25Class::DecodeMotX2IdentifierUpdate(const uint8_t* block)
{
    SetFlavor(1);
    const int identifier = block[2] >> 4;
    IDENTABLE entry;
    entry.Base = Get32(block, 6) * 0.000005;
    entry.Spacing = block[5] * 0.000125;
    entry.Bandwidth = entry.Spacing;
    const double offset = (Get16(block, 3) & 0x7FFF) * 0.003125;
    entry.TxOffset = (block[3] & 0x80) ? offset : -offset;
    entry.Slots = 2;
    entry.Source = 2;
    if (SetIdentifierTable(identifier, entry) && WantsOtherEvents())
        LogEvent(block, Format("Updated Identifier Table %02d... Base: %3.05f Spacing: %3.05f Bandwidth: %3.05f "
                               "TX Offset: %3.05f Slots: 2",
                               identifier, entry.Base, entry.Spacing, entry.Bandwidth, entry.TxOffset));
    if (WantsText())
        LogPacket(block, Format("Motorola X2 TDMA Identifier Update - ID: %02d  Base: %3.05f  Spacing: %3.05f  "
                                "Bandwidth: %3.05f  TX Offset: %3.05f  Slots: %d",
                                identifier, entry.Base, entry.Spacing, entry.Bandwidth, entry.TxOffset, entry.Slots));
    return true;
}

// MFID 0xAD opcode 0x1E: shown by its opcode only
bool P25Class::DecodeVendorAdTextOnly1E(const uint8_t* block)
{
    if (WantsText())
        LogPacket(block, "Unknown Op=1e" + ManufacturerTag(block[1]));
    return true;
}

// Harris emergency alert: group 5-6, radio 7-9
bool P25Class::DecodeHarrisEmergencyAlert(const uint8_t* block)
{
    if (WantsEventText())
        LogEventText(block, Format("Harris Emergency Alert: Talkgroup: %d -> %d", static_cast<int>(Get16(block, 5)),
                                   static_cast<int>(Get24(block, 7))));
    return true;
}

// Harris patch: supergroup 3-4, member 8-9; member 0 deletes the patch
bool P25Class::DecodeHarrisPatch(const uint8_t* block)
{
    const int supergroup = static_cast<int>(Get16(block, 3));
    const int member = static_cast<int>(Get16(block, 8));
    if (member != 0)
        AddPatch(member, supergroup);
    else
        RemovePatch(supergroup);
    if (WantsText())
        LogPacket(block, member != 0 ? "Patch Information -" + ManufacturerTag(block[1]) +
                                           Format(" SuperGroup: %d Member Group: %d", supergroup, member)
                                     : "Delete Patch -" + ManufacturerTag(block[1]) +
                                           Format(" SuperGroup: %d", supergroup));
    return true;
}

// Harris station identification: call sign 2-7, channel 8-9
bool P25Class::DecodeHarrisIdGrantUpdate(const uint8_t* block)
{
    const std::string sign = CallSign(block, HarrisCallSignOffset);
    const int channel = static_cast<int>(Get16(block, 8));
    AddCallSign(sign);
    if (SetChannelStationId(channel, sign))
        SetChannelsChanged();
    if (WantsText())
        LogPacket(block, Format("ID Grant Update (Harris) - Channel: %s Call Sign: %s", ChannelText(channel).c_str(),
                                sign.c_str()));
    return true;
}

const char* P25Class::ManufacturerName(int mfid)
{
    switch (mfid) {
    case 0x00: return "Standard";
    case 0x01: return "Standard";
    case 0x09: return "Aselsan Inc.";
    case 0x10: return "Relm/BK";
    case 0x18: return "EADS Public Safety Inc.";
    case 0x20: return "Cycomm";
    case 0x28: return "Efratom Time and Frequency Products, Inc";
    case 0x30: return "Com-Net Ericsson";
    case 0x34: return "Etherstack";
    case 0x38: return "Datron";
    case 0x40: return "Icom";
    case 0x48: return "Garmin";
    case 0x50: return "GTE";
    case 0x54: return "INIT Innovations in Transportation, Inc";
    case 0x55: return "IFR Systems";
    case 0x60: return "GEC-Marconi";
    case 0x64: return "Harris";
    case 0x68: return "Kenwood Communications";
    case 0x70: return "Glenayre Electronics";
    case 0x74: return "Japan Radio Co.";
    case 0x78: return "Kokusai";
    case 0x7C: return "Maxon";
    case 0x80: return "Midland";
    case 0x86: return "Daniels Electronics Ltd.";
    case 0x90: return "Motorola";
    case 0xA0: return "Thales";
    case 0xA4: return "Harris";
    case 0xB0: return "Raytheon";
    case 0xC0: return "SEA";
    case 0xC8: return "Securicor";
    case 0xD0: return "ADI";
    case 0xD8: return "Tait Electronics";
    case 0xE0: return "Teletec";
    case 0xF0: return "Transcrypt International";
    case 0xF8: return "Vertex Standard";
    case 0xFC: return "Zetron, Inc";
    default: return "Unknown";
    }
}
