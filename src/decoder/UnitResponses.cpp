#include "model/P25Class.h"

#include <array>
#include <utility>

#include "decoder/Text.h"

namespace {

// The address that stands for the system itself in an acknowledge response.
constexpr uint32_t SystemAddress = 0xFFFFFD;

constexpr std::array<std::pair<int, const char*>, 23> DenyReasons{{
    {0x10, "the requesting unit is not valid"},
    {0x11, "the requesting unit is not authorized for this service"},
    {0x20, "the target unit is not valid"},
    {0x21, "the target unit is not authorized for this service"},
    {0x22, "SU Failed Authentication"},
    {0x23, "FNE Failed Authentication"},
    {0x24, "SU Could not be authenticated at this time"},
    {0x2F, "target unit has refused this call"},
    {0x30, "the target group is not valid"},
    {0x31, "the target group is not authorized for this service"},
    {0x40, "invalid dialing"},
    {0x41, "telephone number is not authorized"},
    {0x42, "PSTN address is not valid"},
    {0x50, "call time-out has occurred"},
    {0x51, "landline has terminated this call"},
    {0x52, "subscriber unit has terminated this call"},
    {0x5F, "call has been pre-empted"},
    {0x60, "site access denial"},
    {0xF0, "the call options are not valid for this service"},
    {0xF1, "protection service option is not valid"},
    {0xF2, "duplex service option is not valid"},
    {0xF3, "circuit or packet mode service option is not valid"},
    {0xFF, "the system does not support this service"},
}};

constexpr std::array<std::pair<int, const char*>, 8> QueueReasons{{
    {0x10, "the requesting unit is active in another service"},
    {0x20, "the target unit is active in another service"},
    {0x2F, "target unit has queued this call"},
    {0x30, "the target group is currently active"},
    {0x40, "No channel resources are currently available"},
    {0x41, "No telephone resources are currently available"},
    {0x42, "No data resources are currently available"},
    {0x50, "superseding service currently active"},
}};

template <size_t N>
const char* LookUp(const std::array<std::pair<int, const char*>, N>& table, int code)
{
    for (const auto& [key, text] : table)
        if (key == code)
            return text;
    return "reserved";
}

// Affiliation and registration results, low 2 bits of byte 2.
constexpr const char* AffiliationResults[] = {"Accept", "Failed", "Denied", "Refused"};

}

std::string P25Class::OpcodeName(int code)
{
    switch (code) {
    case 0x00: return "Group Voice Grant";
    case 0x02: return "Group Grant Update";
    case 0x03: return "Explicit Group Grant Update";
    case 0x04: return "Unit to Unit Voice Grant";
    case 0x05: return "Unit to Unit Answer Request";
    case 0x06: return "Unit-Unit Grant Update";
    case 0x07: return "Unit to Unit Explicit Voice Grant";
    case 0x08: return "Telephone Voice Grant";
    case 0x09: return "Telephone Voice Grant Update";
    case 0x10: return "Unit to Unit Data Grant";
    case 0x12: return "Data Channel Request";
    case 0x14: return "Data Channel Grant";
    case 0x15: return "Data Page Request";
    case 0x16: return "Group Data Grant Explicit";
    case 0x18: return "Status Update";
    case 0x1A: return "Status Query";
    case 0x1C: return "Message Update";
    case 0x1D: return "Radio Monitor";
    case 0x1F: return "Call Alert";
    case 0x23: return "Cancel Service Request";
    case 0x24: return "Radio Check/Detach/Inhibit/UnInhibit";
    case 0x27: return "ACK Response";
    case 0x28: return "Group Affiliation";
    case 0x29: return "Group Affiliation Query Response";
    case 0x2B: return "Location Registration";
    case 0x2C: return "Unit Registration";
    case 0x2D: return "Location Registration";
    case 0x30: return "TDMA Sync Broadcast";
    case 0x33: return "IDEN_UP_TDMA";
    case 0x38: return "System Services Broadcast";
    default: return Format("Unknown Code 0x%02x", code);
    }
}

const char* P25Class::DenyReasonText(int code)
{
    return LookUp(DenyReasons, code);
}

const char* P25Class::QueueReasonText(int code)
{
    return LookUp(QueueReasons, code);
}

void P25Class::LogEventText(const uint8_t* block, const std::string& text)
{
    if (IsPktDumpVisible())
        LogPacket(block, text);
    LogEvent(block, text);
}

// The standard form names the subscriber alone when bit 7 of byte 2 is set; both forms name
// the group of bytes 5-6 when bit 2 of the reason is set, else the units of bytes 4-6 and 7-9.
std::string P25Class::DenyResponseText(const uint8_t* block, bool patched)
{
    const int serviceType = block[2] & 0x3F;
    const long source = Get24(block, 7);
    const std::string service = "(" + OpcodeName(serviceType) + ")";
    const char* title = patched ? "Patched Deny Response: " : "Deny Response: ";
    std::string text;
    if (!patched && (block[2] & 0x80))
        text = Format("%sSU: %05ld %s", title, source, service.c_str());
    else if (block[3] & 0x04)
        text = Format("%s%ld -> %05d %s", title, source, static_cast<int>(Get16(block, 5)), service.c_str());
    else
        text = Format("%s%ld -> %ld %s", title, static_cast<long>(Get24(block, 4)), source, service.c_str());
    return text + ": " + DenyReasonText(block[3]);
}

void P25Class::RecordAffiliationResult(int result, int radio, int talkgroup, bool registration)
{
    if (result == 0)
        RecordAffiliation('A', radio, "Affiliate", talkgroup, registration);
    else
        RecordAffiliation('D', radio, AffiliationResults[result], talkgroup, registration);
}

// UU_ANS_REQ: target 4-6, source 7-9
bool P25Class::DecodeUnitToUnitAnswer(const uint8_t* block)
{
    if (WantsEventText()) {
        const long target = Get24(block, 4);
        const long source = Get24(block, 7);
        LogEventText(block, Format("Unit-Unit Answer - From : %ld To: %ld", source, target));
    }
    return true;
}

// TELE_INT_ANS_REQ: ten digits as half-bytes in 2-6, target 7-9
bool P25Class::DecodeTelephoneIncomingRequest(const uint8_t* block)
{
    if (WantsEventText()) {
        // Half-bytes above 9 give the characters after '9', as the system sends them.
        char digits[11] = {};
        for (int i = 0; i < 5; ++i) {
            digits[2 * i] = static_cast<char>('0' + (block[2 + i] >> 4));
            digits[2 * i + 1] = static_cast<char>('0' + (block[2 + i] & 0x0F));
        }
        const long target = Get24(block, 7);
        LogEventText(block, Format("Incoming Phone (%s)  -> %ld", digits, target));
    }
    return true;
}

// STS_UPDT: status 2, target 4-6, source 7-9
bool P25Class::DecodeUnitStatusUpdate(const uint8_t* block)
{
    if (WantsEventText()) {
        const long target = Get24(block, 4);
        const long source = Get24(block, 7);
        LogEventText(block,
                     Format("Unit Status Update - Src RID: %ld Dst RID: %ld Status: %d", source, target, block[2]));
    }
    return true;
}

// STS_Q: target 4-6, source 7-9
bool P25Class::DecodeStatusQuery(const uint8_t* block)
{
    if (WantsEventText()) {
        const long target = Get24(block, 4);
        const long source = Get24(block, 7);
        LogEventText(block, Format("Status Query - %ld -> %ld", source, target));
    }
    return true;
}

// MSG_UPDT: message 2-3, target 4-6, source 7-9
bool P25Class::DecodeMessageUpdate(const uint8_t* block)
{
    if (WantsEventText()) {
        const long target = Get24(block, 4);
        const long source = Get24(block, 7);
        LogEventText(block, Format("Message Update - %ld -> %ld (%04X)", source, target, Get16(block, 2)));
    }
    return true;
}

// RAD_MON_CMD: target 4-6, source 7-9
bool P25Class::DecodeRemoteRadioMonitor(const uint8_t* block)
{
    if (WantsEventText()) {
        const long first = Get24(block, 4);
        const long second = Get24(block, 7);
        LogEventText(block, Format("Remote Radio Monitor - %ld Monitoring %ld", first, second));
    }
    return true;
}

// RAD_MON_REQ: target 4-6, source 7-9
bool P25Class::DecodeRadioMonitor(const uint8_t* block)
{
    if (WantsEventText()) {
        const long first = Get24(block, 4);
        const long second = Get24(block, 7);
        LogEventText(block, Format("Radio Monitor - %ld Monitoring %ld", first, second));
    }
    return true;
}

// CALL_ALRT: target 4-6, source 7-9
bool P25Class::DecodeCallAlert(const uint8_t* block)
{
    const int target = static_cast<int>(Get24(block, 4));
    const int source = static_cast<int>(Get24(block, 7));
    LogGrant("Alert", -1, "", source, target);
    TapCallAlert(source, target);
    AddRadio(target, 0);
    AddRadio(source, 0);
    if (WantsEventText())
        LogEventText(block, Format("Call Alert - %d Alerting %d", source, target));
    return true;
}

// ACK_RSP_FNE: flags and service type 2; WACN and System ID 3-6, or source 4-6 and target 7-9
bool P25Class::DecodeAcknowledgeResponse(const uint8_t* block)
{
    if (!WantsEventText())
        return true;
    const int serviceType = block[2] & 0x3F;
    std::string text = Format("ACK_RSP_FNE: Op=%02x (", serviceType) + OpcodeName(serviceType) + ") ";
    const uint32_t first = Get24(block, 4);
    const long target = Get24(block, 7);
    if ((block[2] & 0xC0) == 0xC0)
        text += Format("SysID: %03X WACN: %5X", Get16(block, 5) & 0xFFF, Get32(block, 3) >> 12);
    else if (block[2] & 0x80 && first == SystemAddress)
        text += Format("System -> %ld", target);
    else if (block[2] & 0x80)
        text += Format("%ld -> %ld", static_cast<long>(first), target);
    else
        text += Format("RadioID: %ld", target);
    LogEventText(block, text);
    return true;
}

// QUE_RSP: service type 2, reason 3, source 4-6 (or options 4 and group 5-6), target 7-9
bool P25Class::DecodeQueuedResponse(const uint8_t* block)
{
    const int serviceType = block[2] & 0x3F;
    const bool groupService = serviceType == 0x00 || serviceType == 0x14 || serviceType == 0x16;
    const int target = static_cast<int>(Get24(block, 7));
    const int source = static_cast<int>(Get24(block, 4));
    const int talkgroup = static_cast<int>(Get16(block, 5));
    // A queued group call is logged as its talkgroup and the unit that asked for it.
    LogQueued(groupService ? talkgroup : source, target, groupService);
    if (!WantsEventText())
        return true;
    std::string text = "Queued Response - Service Type: " + OpcodeName(serviceType) + " - ";
    if (groupService)
        text += Format("Call Options: 0x%02x - Group: %5d - ", block[4], talkgroup);
    else
        text += Format("Source Radio: %d - ", source);
    text += Format("Target Radio: %d - Reason: : ", target);
    LogEventText(block, text + QueueReasonText(block[3]));
    return true;
}

// EXT_FNCT_CMD of class 0: function 3, argument 4-6, target 7-9
bool P25Class::DecodeRadioCheck(const uint8_t* block)
{
    if (!WantsEventText())
        return true;
    const long argument = Get24(block, 4);
    const long target = Get24(block, 7);
    std::string text;
    switch (block[3]) {
    case 0x00: text = Format("Radio Check: %ld", target); break;
    case 0x7D: text = Format("Radio Detach: %ld", target); break;
    case 0x7E: text = Format("Radio Un-Inhibit: %ld", target); break;
    case 0x7F: text = Format("Radio Inhibit: %ld", target); break;
    default: text = Format("Unknown Response: %ld -> %ld", target, argument); break;
    }
    LogEventText(block, text);
    return true;
}

// DENY_RSP: flags and service type 2, reason 3, target 4-6 (or group 5-6), source 7-9
bool P25Class::DecodeDenyResponse(const uint8_t* block)
{
    if (WantsEventText())
        LogEventText(block, DenyResponseText(block, false));
    return true;
}

// GRP_AFF_RSP: scope and result 2, announcement group 3-4, group 5-6, radio 7-9
bool P25Class::DecodeGroupAffiliationResponse(const uint8_t* block)
{
    const int result = block[2] & 0x03;
    const int announcementGroup = static_cast<int>(Get16(block, 3));
    const int talkgroup = static_cast<int>(Get16(block, 5));
    const int radio = static_cast<int>(Get24(block, 7));
    AddTalkgroup(talkgroup);
    AddRadio(radio, talkgroup);
    RecordAffiliationResult(result, radio, talkgroup);
    if (!WantsText())
        return true;
    std::string text = Format("Group Affiliation Response - Group: %d", talkgroup);
    if (announcementGroup != 0)
        text += Format(" Annce-Grp: %d", announcementGroup);
    text += Format(" RadioID : %d Result: %s", radio, AffiliationResults[result]);
    text += block[2] & 0x80 ? " (Global)" : " (Local)";
    LogPacket(block, text);
    return true;
}

// GRP_AFF_Q: target 4-6
bool P25Class::DecodeGroupAffiliationQuery(const uint8_t* block)
{
    if (WantsEventText())
        LogEventText(block, Format("Group Affiliation Query -> %ld", static_cast<long>(Get24(block, 4))));
    return true;
}

// LOC_REG_RSP: result 2, group 3-4, radio 7-9
bool P25Class::DecodeLocationRegistrationResponse(const uint8_t* block)
{
    const int result = block[2] & 0x03;
    const int talkgroup = static_cast<int>(Get16(block, 3));
    const int radio = static_cast<int>(Get24(block, 7));
    if (result == 0)
        AddTalkgroup(talkgroup);
    RecordAffiliationResult(result, radio, talkgroup, true);
    if (WantsText())
        LogPacket(block, Format("Location Registration Response - Group: %d RadioID : %d Result: %s", talkgroup,
                                radio, AffiliationResults[result]));
    return true;
}

// U_REG_RSP: result in bits 5-4 of 2, System ID 2-3, source 4-6, working ID 7-9
bool P25Class::DecodeUnitRegistrationResponse(const uint8_t* block)
{
    if (!WantsEventText())
        return true;
    static constexpr const char* statuses[] = {"Accept", "Fail", "Deny", "Refused"};
    const long source = Get24(block, 4);
    const long working = Get24(block, 7);
    LogEventText(block, Format("Unit Registration - SysID: %03X Source ID: %ld Working ID: %ld Status: %s",
                               Get16(block, 2) & 0xFFF, source, working, statuses[block[2] >> 4 & 0x03]));
    return true;
}

// U_REG_CMD: target 4-6
bool P25Class::DecodeUnitRegistrationCommand(const uint8_t* block)
{
    const int target = static_cast<int>(Get24(block, 4));
    RecordAffiliation('U', target, "Forced", 0);
    if (WantsEventText())
        LogEventText(block, Format("Unit Registration Command -> %d", target));
    return true;
}

// AUTH_CMD: WACN and System ID 3-6, unit 7-9
bool P25Class::DecodeAuthenticate(const uint8_t* block)
{
    if (WantsEventText())
        LogEventText(block, Format("Authenticate: SysID: %03X WACN: %5X ID: %ld ", Get16(block, 5) & 0xFFF,
                                   Get32(block, 3) >> 12, static_cast<long>(Get24(block, 7))));
    return true;
}

// U_DE_REG_ACK: radio 7-9
bool P25Class::DecodeDeregistrationResponse(const uint8_t* block)
{
    const int radio = static_cast<int>(Get24(block, 7));
    RecordAffiliation('U', radio, "Unaffiliate", 0);
    if (WantsText())
        LogPacket(block, Format("De-Registration Response - RadioID : %d", radio));
    return true;
}

// ROAM_ADDR_CMD: action 2, WACN and System ID 3-6, radio 7-9
bool P25Class::DecodeRoamingAddressCommand(const uint8_t* block)
{
    if (!WantsText())
        return true;
    static constexpr const char* actions[] = {" Clear", " Write", " Delete", " Read"};
    const char* action = block[2] < 4 ? actions[block[2]] : " Reserved";
    LogPacket(block, Format("ROAM_ADDR_CMD - SysID: %03X  WACN: %05X Action: %s Radio ID: %d",
                            Get16(block, 5) & 0xFFF, Get32(block, 3) >> 12, action, static_cast<int>(Get24(block, 7))));
    return true;
}
