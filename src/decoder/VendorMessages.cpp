#include "model/P25Class.h"

// Not decoded yet: each handler leaves its block unrecognised.
bool P25Class::DecodeMotPatchInformation(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeMotPatchRelease(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeMotPatchedGroupVoiceGrant(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeMotPatchedGroupVoiceGrantUpdate(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeMotRegroup(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeMotTextOnly05(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeMotQueuedResponse(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeMotDenyResponse(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeMotRcmAck(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeMotScanMarker(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeMotEmergencyActivation(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeMotBsiGrant(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeMotX2IdentifierUpdate(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeVendorAdTextOnly1E(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeHarrisEmergencyAlert(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeHarrisPatch(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeHarrisIdGrantUpdate(const uint8_t*)
{
    return false;
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
