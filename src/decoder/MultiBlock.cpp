#include "model/P25Class.h"

// Not decoded yet: every packet is left unrecognised.
bool P25Class::DecodeMultiBlock(const PacketRecord&)
{
    return false;
}
