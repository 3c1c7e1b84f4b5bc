#include "model/P25Class.h"

// Not decoded yet: each handler leaves its block unrecognised.
bool P25Class::DecodeUnitToUnitAnswer(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeTelephoneIncomingRequest(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeUnitStatusUpdate(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeStatusQuery(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeMessageUpdate(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeRemoteRadioMonitor(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeRadioMonitor(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeCallAlert(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeAcknowledgeResponse(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeQueuedResponse(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeRadioCheck(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeDenyResponse(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeGroupAffiliationResponse(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeGroupAffiliationQuery(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeLocationRegistrationResponse(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeUnitRegistrationResponse(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeUnitRegistrationCommand(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeAuthenticate(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeDeregistrationResponse(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeRoamingAddressCommand(const uint8_t*)
{
    return false;
}
