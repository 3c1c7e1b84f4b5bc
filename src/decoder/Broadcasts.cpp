#include "model/P25Class.h"

// Not decoded yet: each handler leaves its block unrecognised.
bool P25Class::DecodeExplicitAlternateControl(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeTdmaSyncBroadcast(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeTdmaIdentifierUpdate(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeVhfUhfIdentifierUpdate(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeMultiPacketHeader(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeSystemServiceBroadcast(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeAlternateControlBroadcast(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeRfssStatusBroadcast(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeNetworkStatusBroadcast(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeNeighborStatusBroadcast(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeIdentifierUpdate(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeProtectionParameterBroadcast(const uint8_t*)
{
    return false;
}

bool P25Class::DecodeProtectionParameterUpdate(const uint8_t*)
{
    return false;
}
