#include "model/P25Class.h"

// Not decoded yet: each handler leaves its block unrecognised.
bool P25Class::DecodeGroupVoiceGrant(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeGroupVoiceGrantUpdate(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeExplicitGroupVoiceGrantUpdate(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeUnitToUnitVoiceGrant(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeUnitToUnitVoiceGrantUpdate(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeUnitToUnitExplicitVoiceGrant(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeTelephoneVoiceGrant(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeTelephoneVoiceGrantUpdate(const uint8_t*)
{
    return false;
}

bool P25Class::DecodePrivateDataGrant(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeGroupDataChannelGrant(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeGroupDataGrantUpdate(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeDataChannelGrantExplicit(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeSnDataPageRequest(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeDataChannelUpdate(const uint8_t*)
{
    return false;
}
