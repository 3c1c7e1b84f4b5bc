#include "model/P25Class.h"

#include <cstdio>


namespace {

// Before the site is identified only the messages that can identify it go on:
// the alternate control, registration and RFSS status messages, and multi-block
// headers of the status broadcasts.
bool PassesIdentificationGate(const uint8_t* block)
{
    switch (Opcode(block)) {
    case 0x29:
    case 0x2B:
    case 0x2C:
    case 0x2F:
    case 0x3A:
        return true;
    case 0x37: {
        const int type = block[7] & 0x3F;
        return type == 0x3A || type == 0x3B || type == 0x3C;
    }
    default:
        return false;
    }
}

}

bool P25Class::DecodeTsbk(const uint8_t* block)
{
    if (!IsTsbkCrcValid(block))
        return false;
    if (block[0] & 0x40)
        return false;
    const int opcode = Opcode(block);
    const int mfid = block[1];

    // The identity is read without SYSINFOLOCK: LogSite mirrors it for every block.
    const LOGSITE site = LogSite();
    if (site.SysId == 0 && site.RfssId == 0 && !PassesIdentificationGate(block))
        return false;

    bool recognised = false;
    switch (opcode) {
    case 0x00:
        if (mfid == 0x00) recognised = DecodeGroupVoiceGrant(block);
        else if (mfid == 0x90) recognised = DecodeMotPatchInformation(block);
        break;
    case 0x01:
        if (mfid == 0x90) recognised = DecodeMotPatchRelease(block);
        break;
    case 0x02:
        if (mfid == 0x00) recognised = DecodeGroupVoiceGrantUpdate(block);
        else if (mfid == 0x90) recognised = DecodeMotPatchedGroupVoiceGrant(block);
        break;
    case 0x03:
        if (mfid == 0x00) recognised = DecodeExplicitGroupVoiceGrantUpdate(block);
        else if (mfid == 0x90) recognised = DecodeMotPatchedGroupVoiceGrantUpdate(block);
        break;
    case 0x04:
        if (mfid == 0x00) recognised = DecodeUnitToUnitVoiceGrant(block);
        else if (mfid == 0x90 && block[2] == 0x02) recognised = DecodeMotRegroup(block);
        break;
    case 0x05:
        if (mfid == 0x00) recognised = DecodeUnitToUnitAnswer(block);
        else if (mfid == 0x90) recognised = DecodeMotTextOnly05(block);
        break;
    case 0x06:
        if (mfid == 0x00) recognised = DecodeUnitToUnitVoiceGrantUpdate(block);
        else if (mfid == 0x90) recognised = DecodeMotQueuedResponse(block);
        break;
    case 0x07:
        if (mfid == 0x00) recognised = DecodeUnitToUnitExplicitVoiceGrant(block);
        else if (mfid == 0x90) recognised = DecodeMotDenyResponse(block);
        break;
    case 0x08:
        if (mfid == 0x00) recognised = DecodeTelephoneVoiceGrant(block);
        else if (mfid == 0x90) recognised = DecodeMotRcmAck(block);
        break;
    case 0x09:
        if (mfid == 0x00) recognised = DecodeTelephoneVoiceGrantUpdate(block);
        else if (mfid == 0x90) recognised = DecodeMotScanMarker(block);
        break;
    case 0x0A:
        if (mfid == 0x00) recognised = DecodeTelephoneIncomingRequest(block);
        else if (mfid == 0x90) recognised = DecodeMotEmergencyActivation(block);
        break;
    case 0x0B:
        if (mfid == 0x90) recognised = DecodeMotBsiGrant(block);
        break;
    case 0x0D:
        if (mfid == 0x90) recognised = DecodeMotX2IdentifierUpdate(block);
        break;
    case 0x10:
        if (mfid == 0x00) recognised = DecodePrivateDataGrant(block);
        break;
    case 0x11:
        if (mfid == 0x00) recognised = DecodeGroupDataChannelGrant(block);
        break;
    case 0x12:
        if (mfid == 0x00) recognised = DecodeGroupDataGrantUpdate(block);
        break;
    case 0x14:
        if (mfid == 0x00) recognised = DecodeDataChannelGrantExplicit(block);
        break;
    case 0x15:
        if (mfid == 0x00) recognised = DecodeSnDataPageRequest(block);
        break;
    case 0x16:
        if (mfid == 0x00) recognised = DecodeDataChannelUpdate(block);
        break;
    case 0x18:
        if (mfid == 0x00) recognised = DecodeUnitStatusUpdate(block);
        break;
    case 0x1A:
        if (mfid == 0x00) recognised = DecodeStatusQuery(block);
        break;
    case 0x1C:
        if (mfid == 0x00) recognised = DecodeMessageUpdate(block);
        break;
    case 0x1D:
        if (mfid == 0x00) recognised = DecodeRemoteRadioMonitor(block);
        break;
    case 0x1E:
        if (mfid == 0x00) recognised = DecodeRadioMonitor(block);
        else if (mfid == 0xAD) recognised = DecodeVendorAdTextOnly1E(block);
        break;
    case 0x1F:
        if (mfid == 0x00) recognised = DecodeCallAlert(block);
        break;
    case 0x20:
        if (mfid == 0x00) recognised = DecodeAcknowledgeResponse(block);
        break;
    case 0x21:
        if (mfid == 0x00) recognised = DecodeQueuedResponse(block);
        break;
    case 0x22:
        if (mfid == 0xA4) recognised = DecodeHarrisEmergencyAlert(block);
        break;
    case 0x24:
        if (mfid == 0x00 && block[2] == 0x00) recognised = DecodeRadioCheck(block);
        break;
    case 0x27:
        if (mfid == 0x00) recognised = DecodeDenyResponse(block);
        break;
    case 0x28:
        if (mfid == 0x00) recognised = DecodeGroupAffiliationResponse(block);
        break;
    case 0x29:
        if (mfid == 0x00) recognised = DecodeExplicitAlternateControl(block);
        break;
    case 0x2A:
        if (mfid == 0x00) recognised = DecodeGroupAffiliationQuery(block);
        break;
    case 0x2B:
        if (mfid == 0x00) recognised = DecodeLocationRegistrationResponse(block);
        break;
    case 0x2C:
        if (mfid == 0x00) recognised = DecodeUnitRegistrationResponse(block);
        break;
    case 0x2D:
        if (mfid == 0x00) recognised = DecodeUnitRegistrationCommand(block);
        break;
    case 0x2E:
        if (mfid == 0x00) recognised = DecodeAuthenticate(block);
        break;
    case 0x2F:
        if (mfid == 0x00) recognised = DecodeDeregistrationResponse(block);
        break;
    case 0x30:
        if (mfid == 0x00) recognised = DecodeTdmaSyncBroadcast(block);
        else if (mfid == 0xA4) recognised = DecodeHarrisPatch(block);
        break;
    case 0x33:
        if (mfid == 0x00) recognised = DecodeTdmaIdentifierUpdate(block);
        else if (mfid == 0xA4) recognised = DecodeHarrisIdGrantUpdate(block);
        break;
    case 0x34:
        if (mfid == 0x00) recognised = DecodeVhfUhfIdentifierUpdate(block);
        break;
    case 0x36:
        if (mfid == 0x00) recognised = DecodeRoamingAddressCommand(block);
        break;
    case 0x37:
        recognised = DecodeMultiPacketHeader(block);
        break;
    case 0x38:
        if (mfid == 0x00) recognised = DecodeSystemServiceBroadcast(block);
        break;
    case 0x39:
        if (mfid == 0x00) recognised = DecodeAlternateControlBroadcast(block);
        break;
    case 0x3A:
        if (mfid == 0x00) recognised = DecodeRfssStatusBroadcast(block);
        break;
    case 0x3B:
        if (mfid == 0x00 || mfid == 0x30) recognised = DecodeNetworkStatusBroadcast(block);
        break;
    case 0x3C:
        if (mfid == 0x00) recognised = DecodeNeighborStatusBroadcast(block);
        break;
    case 0x3D:
        if (mfid == 0x00) recognised = DecodeIdentifierUpdate(block);
        break;
    case 0x3E:
        if (mfid == 0x00) recognised = DecodeProtectionParameterBroadcast(block);
        break;
    case 0x3F:
        if (mfid == 0x00) recognised = DecodeProtectionParameterUpdate(block);
        break;
    default:
        break;
    }

    if (!recognised)
        LogUnrecognised(block);
    return recognised;
}

void P25Class::LogUnrecognised(const uint8_t* block)
{
    if (IsUnknownsVisible()) {
        const LOGSITE site = LogSite();
        if (site.SysId != 0 && site.RfssId != 0 && site.SiteId != 0)
            LogUnknownPacket(block, "");
    }
    if (IsPktDumpVisible()) {
        char text[96];
        std::snprintf(text, sizeof text, "Unknown Op=%02X Mfg %02X(%s)", Opcode(block), block[1],
                      ManufacturerName(block[1]));
        LogPacket(block, text);
    }
}
