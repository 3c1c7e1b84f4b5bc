#include "model/P25Class.h"

#include <string_view>

#include "decoder/Text.h"

namespace {

const std::string NoNotes;

// The notes of a grant's service options, kept as strings so that a grant allocates none.
const std::string& GrantNotes(uint8_t options)
{
    static const std::string emergency = "Emrg";
    static const std::string encrypted = "Enc";
    const std::string_view notes = NotesText(options);
    if (notes == emergency)
        return emergency;
    if (notes == encrypted)
        return encrypted;
    return NoNotes;
}

std::string WithNotes(std::string text, const std::string& notes)
{
    if (!notes.empty())
        text += " Notes: " + notes;
    return text;
}

int Radio(const uint8_t* block, int n)
{
    return static_cast<int>(Get24(block, n));
}

int Field16(const uint8_t* block, int n)
{
    return static_cast<int>(Get16(block, n));
}

// The two channel and talkgroup pairs of an announcement; the second pair is entered
// only on a channel of its own.
template <typename Enter>
bool EnterChannelPairs(P25Class& model, const uint8_t* block, const char* title, bool enterGroupZero, Enter enter)
{
    const int channelA = Field16(block, 2);
    const int groupA = Field16(block, 4);
    const int channelB = Field16(block, 6);
    const int groupB = Field16(block, 8);
    model.AddTalkgroup(groupA);
    if (groupB != groupA)
        model.AddTalkgroup(groupB);
    bool changed = enter(channelA, groupA);
    if (channelB != channelA && (groupB != 0 || enterGroupZero))
        changed = enter(channelB, groupB) || changed;
    if (changed)
        model.SetChannelsChanged();
    if (model.IsPktDumpVisible())
        model.LogPacket(block,
                        Format("%s Group: %d Channel: %s Group: %d Channel: %s", title, groupA,
                               model.ChannelText(channelA).c_str(), groupB, model.ChannelText(channelB).c_str()));
    return true;
}

}

// GRP_V_CH_GRANT: options 2, channel 3-4, group 5-6, source 7-9
bool P25Class::DecodeGroupVoiceGrant(const uint8_t* block)
{
    const int channel = Field16(block, 3);
    const int talkgroup = Field16(block, 5);
    const int source = Radio(block, 7);
    if (talkgroup == 0)
        return true;
    AddTalkgroup(talkgroup);
    const std::string& notes = GrantNotes(block[2]);
    if (GroupVoiceGrant(channel, 0, notes, source, talkgroup, block[2]))
        SetChannelsChanged();
    if (IsEncryptedEmergency(block[2]))
        MarkTalkgroupEncrypted(talkgroup);
    if (WantsText())
        LogPacket(block, WithNotes(Format("Group Voice Grant - Group: %d Channel: %s Radio ID: %d", talkgroup,
                                          ChannelText(channel).c_str(), source),
                                   notes));
    return true;
}

// GRP_V_CH_GRANT_UPDT: channel A 2-3, group A 4-5, channel B 6-7, group B 8-9
bool P25Class::DecodeGroupVoiceGrantUpdate(const uint8_t* block)
{
    // A second group of 0 fills an unused pair.
    return EnterChannelPairs(*this, block, "Group Voice Grant Update -", false,
                             [this](int channel, int group) { return GroupVoiceGrantUpdate(channel, 0, group); });
}

// GRP_V_CH_GRANT_UPDT_EXP: options 2, RX channel 4-5, TX channel 6-7, group 8-9
bool P25Class::DecodeExplicitGroupVoiceGrantUpdate(const uint8_t* block)
{
    const int rx = Field16(block, 4);
    const int tx = Field16(block, 6);
    const int talkgroup = Field16(block, 8);
    AddTalkgroup(talkgroup);
    const std::string& notes = GrantNotes(block[2]);
    if (GroupVoiceGrantExplicit(rx, tx, notes, talkgroup))
        SetChannelsChanged();
    if (IsEncryptedEmergency(block[2]))
        MarkTalkgroupEncrypted(talkgroup);
    if (WantsText())
        LogPacket(block, WithNotes(Format("Explicit Group Voice Grant Update - Group: %d RX Channel: %s TX Channel: %s",
                                          talkgroup, ChannelText(rx).c_str(), ChannelText(tx).c_str()),
                                   notes));
    return true;
}

// UU_V_CH_GRANT: channel 2-3, target 4-6, source 7-9
bool P25Class::DecodeUnitToUnitVoiceGrant(const uint8_t* block)
{
    const int channel = Field16(block, 2);
    const int target = Radio(block, 4);
    const int source = Radio(block, 7);
    bool changed = SetChannelTalkgroup(channel, source);
    changed = PrivateVoiceGrant(channel, source, NoNotes, target) || changed;
    if (changed)
        SetChannelsChanged();
    if (WantsText())
        LogPacket(block, Format("Unit-Unit Voice Grant - Channel: %s From : %d To: %d", ChannelText(channel).c_str(),
                                source, target));
    return true;
}

// UU_V_CH_GRANT_UPDT: channel 2-3, target 4-6, source 7-9
bool P25Class::DecodeUnitToUnitVoiceGrantUpdate(const uint8_t* block)
{
    const int channel = Field16(block, 2);
    const int target = Radio(block, 4);
    const int source = Radio(block, 7);
    bool changed = SetChannelTalkgroup(channel, source);
    changed = PrivateVoiceGrantUpdate(channel, source, target) || changed;
    if (changed)
        SetChannelsChanged();
    if (WantsText())
        LogPacket(block, Format("Unit-Unit Voice Grant Update - Channel: %s From : %d To: %d",
                                ChannelText(channel).c_str(), source, target));
    return true;
}

// UU_V_CH_GRANT_EXP: RX channel 4-5, TX channel 6-7, group 8-9
bool P25Class::DecodeUnitToUnitExplicitVoiceGrant(const uint8_t* block)
{
    const int rx = Field16(block, 4);
    const int tx = Field16(block, 6);
    const int group = Field16(block, 8);
    if (PrivateVoiceGrantUpdate(rx, -1, -1))
        SetChannelsChanged();
    if (WantsText())
        LogPacket(block, Format("Unit-Unit Explicit Voice Grant - Group: %d RX Channel: %s TX Channel: %s", group,
                                ChannelText(rx).c_str(), ChannelText(tx, true, true).c_str()));
    return true;
}

// TELE_INT_CH_GRANT: channel 3-4, radio 7-9
bool P25Class::DecodeTelephoneVoiceGrant(const uint8_t* block)
{
    const int channel = Field16(block, 3);
    const int radio = Radio(block, 7);
    if (PhoneGrant(channel, radio, NoNotes, block[2]))
        SetChannelsChanged();
    if (WantsText())
        LogPacket(block,
                  Format("Telephone Voice Grant - Channel: %s Radio ID : %d", ChannelText(channel).c_str(), radio));
    return true;
}

// TELE_INT_CH_GRANT_UPDT: channel 3-4, radio 7-9
bool P25Class::DecodeTelephoneVoiceGrantUpdate(const uint8_t* block)
{
    const int channel = Field16(block, 3);
    const int radio = Radio(block, 7);
    if (PhoneGrantUpdate(channel, radio))
        SetChannelsChanged();
    if (WantsText())
        LogPacket(block, Format("Telephone Voice Grant Update- Channel: %s Radio ID : %d",
                                ChannelText(channel).c_str(), radio));
    return true;
}

// IND_DATA_CH_GRANT: channel 2-3, target 4-6, source 7-9
bool P25Class::DecodePrivateDataGrant(const uint8_t* block)
{
    const int channel = Field16(block, 2);
    const int target = Radio(block, 4);
    const int source = Radio(block, 7);
    bool changed = SetChannelTalkgroup(channel, source);
    changed = IndividualDataGrant(channel, source, NoNotes, target) || changed;
    if (changed)
        SetChannelsChanged();
    if (WantsText())
        LogPacket(block, Format("Private Data Grant - Channel: %s From : %d To: %d", ChannelText(channel).c_str(),
                                source, target));
    return true;
}

// GRP_DATA_CH_GRANT: options 2, channel 3-4, group 5-6, radio 7-9
bool P25Class::DecodeGroupDataChannelGrant(const uint8_t* block)
{
    const int channel = Field16(block, 3);
    const int talkgroup = Field16(block, 5);
    const int radio = Radio(block, 7);
    if (talkgroup == 0)
        return true;
    AddTalkgroup(talkgroup);
    if (GroupDataGrant(channel, talkgroup, GrantNotes(block[2]), radio, block[2]))
        SetChannelsChanged();
    if (IsEncryptedEmergency(block[2]))
        MarkTalkgroupEncrypted(talkgroup);
    if (WantsText())
        LogPacket(block, Format("Group Data Channel Grant - Group : %d Channel: %s RadioID : %d", talkgroup,
                                ChannelText(channel).c_str(), radio));
    return true;
}

// GRP_DATA_CH_ANN: channel A 2-3, group A 4-5, channel B 6-7, group B 8-9
bool P25Class::DecodeGroupDataGrantUpdate(const uint8_t* block)
{
    return EnterChannelPairs(*this, block, "Group Data Grant Update -", true,
                             [this](int channel, int group) { return DataChannelAnnouncement(channel, group); });
}

// IND_DATA_CH_GRANT_EXP: RX channel 3-4, TX channel 5-6, radio 7-9
bool P25Class::DecodeDataChannelGrantExplicit(const uint8_t* block)
{
    const int rx = Field16(block, 3);
    const int tx = Field16(block, 5);
    const int radio = Radio(block, 7);
    if (IndividualDataGrant(rx, -1, NoNotes, radio))
        SetChannelsChanged();
    if (WantsText())
        LogPacket(block, Format("Data Channel Grant Explicit - Radio ID: %d RX Channel: %s TX Channel: %s", radio,
                                ChannelText(rx).c_str(), ChannelText(tx, true, true).c_str()));
    return true;
}

// SN-DATA_PAGE_REQ: radio 7-9
bool P25Class::DecodeSnDataPageRequest(const uint8_t* block)
{
    const int radio = Radio(block, 7);
    LogGrant("Queued", -1, "Data Grant", radio, -1);
    if (EventTap* tap = Tap()) {
        TAPEVENT event = TAPEVENT::Of(TAPEVENT::Kind::Queued);
        event.Radio = radio;
        event.Text = "Data Grant";
        TapRecord(*tap, std::move(event));
    }
    const bool toEvents = WantsOtherEvents();
    if (WantsText() || toEvents) {
        const std::string text = Format("SN-DATA_PAGE_REQ - Radio ID: %d", radio);
        if (WantsText())
            LogPacket(block, text);
        if (toEvents)
            LogEvent(block, text);
    }
    return true;
}

// SN-DATA_CHN_ANN_EXP: status 3, RX channel 4-5, TX channel 6-7, access control group 8-9
bool P25Class::DecodeDataChannelUpdate(const uint8_t* block)
{
    const uint8_t status = block[3];
    const int rx = Field16(block, 4);
    const int tx = Field16(block, 6);
    // Available with nothing else set announces no channel in use.
    if (status != 0x40 && rx != NoChannel && DataChannelAnnouncement(rx, -1))
        SetChannelsChanged();
    if (!WantsText())
        return true;
    std::string text = "Data Channel Update - Status: ";
    if (status & 0x80)
        text += "AA, ";
    text += status & 0x40 ? "Available" : "Busy";
    text += " - Channels: ";
    if (rx == NoChannel && tx == NoChannel)
        text += "None";
    if (rx != NoChannel)
        text += "RX: " + ChannelText(rx) + " ";
    if (tx != NoChannel)
        text += "TX: " + ChannelText(tx) + " ";
    text += " - DAC Group: " + NumberText(Get16(block, 8));
    LogPacket(block, text);
    return true;
}
