#include "model/P25Class.h"

#include "model/Locks.h"
#include "platform/Files.h"

P25Class::P25Class(Clock& clock)
    : m_clock(&clock),
      m_eventLog(std::make_unique<PendingQueue<EVENTLOG, EventLogCapacity>>()),
      m_packetDump(std::make_unique<PendingQueue<ALLPKT, PacketDumpCapacity>>()),
      m_unknownPackets(std::make_unique<PendingQueue<UNKTSBK, UnknownPacketCapacity>>())
{
    m_towers.reserve(MaxTowers);
    m_dataFolder = ExecutableFolder();
    ResetModel();
}

P25Class::~P25Class() = default;

void P25Class::ResetModel()
{
    {
        NamedLockGuard guard(Locks::SYSINFOLOCK);
        m_sysInfo = SYSINFO{};
        PublishLogSite();
        m_towers.clear();
        m_sysInfo.SystemInfoChanged = 1;
    }
    ResetIdentifierTables();
    ClearChannels();
    ClearTalkgroups();
    ClearRadios();
    ClearGrantLog();
    ClearNeighbors();
    ClearEventLog();
    ClearPacketDump();
    ClearSiteActivity();
    ClearFilterRanges();
    m_multiBlockSeen = false;
}

void P25Class::ResetSiteLists()
{
    ResetIdentifierTables();
    ClearChannels();
    ClearGrantLog();
    ClearNeighbors();
    ClearEventLog();
    ClearPacketDump();
    ClearSiteActivity();
    m_multiBlockSeen = false;
}

void P25Class::SetDataFolder(const std::string& path)
{
    NamedLockGuard guard(Locks::FILELOCK);
    m_dataFolder = path.empty() ? ExecutableFolder() : WithTrailingSlash(path);
}

std::string P25Class::GetDataFolder() const
{
    NamedLockGuard guard(Locks::FILELOCK);
    return m_dataFolder;
}

void P25Class::SetDefaultColors(uint32_t text, uint32_t background)
{
    m_defaultTextColor = text;
    m_defaultBackgroundColor = background;
}
