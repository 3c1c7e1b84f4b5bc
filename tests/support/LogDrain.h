#pragma once
#include <vector>

#include "model/P25Class.h"

// Takes every pending log queue out of the model, as the screen refresh does, so that the
// queues keep taking records; the buffers are allocated once.
class LogDrain
{
public:
    // Returns the number of records taken.
    int TakeAll(P25Class& model)
    {
        return model.TakePacketDump(m_dump.data(), PacketDumpCapacity) +
               model.TakeEventLog(m_events.data(), EventLogCapacity) +
               model.TakeUnknownPackets(m_unknown.data(), UnknownPacketCapacity) +
               model.TakeGrantLog(m_grants.data(), GrantLogCapacity) +
               model.TakeAffiliationLog(m_affiliations.data(), AffiliationLogCapacity) +
               model.TakePatchLog(m_patches.data(), PatchLogCapacity);
    }

private:
    std::vector<ALLPKT> m_dump = std::vector<ALLPKT>(PacketDumpCapacity);
    std::vector<EVENTLOG> m_events = std::vector<EVENTLOG>(EventLogCapacity);
    std::vector<UNKTSBK> m_unknown = std::vector<UNKTSBK>(UnknownPacketCapacity);
    std::vector<GRANTLOG> m_grants = std::vector<GRANTLOG>(GrantLogCapacity);
    std::vector<AFFLOG> m_affiliations = std::vector<AFFLOG>(AffiliationLogCapacity);
    std::vector<PATCHLOG> m_patches = std::vector<PATCHLOG>(PatchLogCapacity);
};

// Every log switch on: the decoders build and queue every text they can.
inline void SetEveryLogSwitch(P25Class& model, bool on)
{
    model.SetUnknownsVisible(on);
    model.SetGrantsVisible(on);
    model.SetOtherInfoVisible(on);
    model.SetPktDumpVisible(on);
    model.SetLogProtectionData(on);
}
