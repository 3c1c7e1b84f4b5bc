#include "model/P25Class.h"

#include <algorithm>
#include <cctype>

#include "model/Locks.h"
#include "platform/Text.h"

namespace {

// Call signs are compared within this many characters, and at most this many are kept.
constexpr size_t MaxCallSignLength = 19;
constexpr size_t MaxCallSigns = 20;

std::string Limited(const std::string& text)
{
    return text.size() > MaxTextLength ? text.substr(0, MaxTextLength) : text;
}

int NeighborKey(const NEIGHBORREC& n)
{
    return n.SysId * 1000 + n.RfssId * 100 + n.SiteId;
}

}

bool P25Class::SetSystemAndSite(int sysId, int rfssId, uint8_t serviceClass, int siteId)
{
    NamedLockGuard guard(Locks::SYSINFOLOCK);
    if (sysId != m_sysInfo.SysId) {
        ResetModel();
        m_sysInfo.SysId = sysId;
        m_sysInfo.RfssId = rfssId;
        m_sysInfo.SiteId = siteId;
        m_sysInfo.ServiceClass = serviceClass;
        m_sysInfo.SiteStatus = 0;
        PublishLogSite();
        LoadSystemFolder();
        if (m_onFolderLoaded)
            m_onFolderLoaded();
        m_sysInfo.SystemInfoChanged = 1;
        TapSystem(TAPEVENT::NewSystem);
        return true;
    }
    if (rfssId != m_sysInfo.RfssId || siteId != m_sysInfo.SiteId || serviceClass != m_sysInfo.ServiceClass) {
        const bool newSite = rfssId != m_sysInfo.RfssId || siteId != m_sysInfo.SiteId;
        m_sysInfo.RfssId = rfssId;
        m_sysInfo.SiteId = siteId;
        m_sysInfo.ServiceClass = serviceClass;
        PublishLogSite();
        ResetSiteLists();
        LoadTowerFile();
        m_sysInfo.SystemInfoChanged = 1;
        TapSystem(newSite ? TAPEVENT::NewSite : TAPEVENT::NewServices);
        return true;
    }
    return false;
}

namespace {
constexpr int LogSiteBits = 21;
constexpr uint64_t LogSiteMask = (uint64_t{1} << LogSiteBits) - 1;
}

void P25Class::PublishLogSite()
{
    const auto pack = [](int32_t v) { return static_cast<uint64_t>(v) & LogSiteMask; };
    m_logSite.store(pack(m_sysInfo.SysId) << 2 * LogSiteBits | pack(m_sysInfo.RfssId) << LogSiteBits |
                    pack(m_sysInfo.SiteId));
    m_logWacn.store(m_sysInfo.Wacn, std::memory_order_relaxed);
}

LOGSITE P25Class::LogSite() const
{
    const uint64_t packed = m_logSite.load();
    return {static_cast<int32_t>(packed >> 2 * LogSiteBits & LogSiteMask),
            static_cast<int32_t>(packed >> LogSiteBits & LogSiteMask), static_cast<int32_t>(packed & LogSiteMask)};
}

bool P25Class::SetWacn(int wacn)
{
    NamedLockGuard guard(Locks::SYSINFOLOCK);
    if (m_sysInfo.Wacn == wacn)
        return false;
    m_sysInfo.Wacn = wacn;
    m_sysInfo.SystemInfoChanged = 1;
    PublishLogSite();
    TapSystem(TAPEVENT::NewWacn);
    return true;
}

bool P25Class::SetSiteStatus(int bits)
{
    NamedLockGuard guard(Locks::SYSINFOLOCK);
    if (m_sysInfo.SiteStatus == bits)
        return false;
    m_sysInfo.SiteStatus = bits;
    m_sysInfo.SystemInfoChanged = 1;
    TapSystem(TAPEVENT::NewStatus);
    return true;
}

void P25Class::SetFlavor(int value)
{
    NamedLockGuard guard(Locks::SYSINFOLOCK);
    if (m_sysInfo.Flavor != value) {
        m_sysInfo.Flavor = value;
        m_sysInfo.SystemInfoChanged = 1;
        TapSystem(TAPEVENT::NewFlavor);
    }
}

// A sign that would not fit in the 199 characters of the list, or a 21st sign, is refused.
bool P25Class::AddCallSign(const std::string& text)
{
    if (text.empty())
        return false;
    NamedLockGuard guard(Locks::SYSINFOLOCK);
    if (text == "CLEAR") {
        if (m_sysInfo.CallSigns.empty())
            return false;
        m_sysInfo.CallSigns.clear();
        m_sysInfo.SystemInfoChanged = 1;
        return true;
    }
    const std::string stored(Trimmed(m_sysInfo.CallSigns));
    const std::string sign(Trimmed(std::string_view(text).substr(0, MaxCallSignLength)));
    if (sign.empty())
        return false;

    size_t signs = 0;
    size_t pos = 0;
    while (pos < stored.size()) {
        const size_t end = std::min(stored.find(' ', pos), stored.size());
        if (end > pos) {
            if (EqualsIgnoringCase(std::string_view(stored).substr(pos, end - pos), sign))
                return false;
            ++signs;
        }
        pos = end + 1;
    }
    const std::string joined = stored.empty() ? sign : stored + " " + sign;
    if (signs >= MaxCallSigns || joined.size() > MaxTextLength) {
        m_sysInfo.CallSigns = stored;
        return false;
    }
    m_sysInfo.CallSigns = joined;
    m_sysInfo.SystemInfoChanged = 1;
    return true;
}

bool P25Class::SetSystemDescription(const std::string& text)
{
    NamedLockGuard guard(Locks::SYSINFOLOCK);
    m_sysInfo.SystemDescription = Limited(text);
    m_sysInfo.SystemInfoChanged = 1;
    return true;
}

bool P25Class::SetSiteDescription(const std::string& text)
{
    NamedLockGuard guard(Locks::SYSINFOLOCK);
    m_sysInfo.SiteDescription = Limited(text);
    SetTowerDescription(m_sysInfo.RfssId, m_sysInfo.SiteId, text);
    return true;
}

bool P25Class::SetTowerDescription(int rfss, int site, const std::string& text)
{
    NamedLockGuard guard(Locks::SYSINFOLOCK);
    bool found = false;
    bool stored = false;
    for (auto& tower : m_towers) {
        if (tower.Rfss == rfss && tower.Site == site) {
            found = true;
            if (tower.Description != text) {
                tower.Description = text;
                stored = true;
            }
        }
    }
    if (!found && static_cast<int>(m_towers.size()) < MaxTowers) {
        m_towers.push_back({rfss, site, text});
        found = stored = true;
    }
    if (stored)
        m_sysInfo.SystemInfoChanged = 1;
    return found;
}

// Callers hold SYSINFOLOCK.
std::string P25Class::GetTowerDescription(int rfss, int site) const
{
    for (const auto& tower : m_towers)
        if (tower.Rfss == rfss && tower.Site == site)
            return tower.Description;
    return {};
}

void P25Class::ClearTowers()
{
    NamedLockGuard guard(Locks::SYSINFOLOCK);
    m_towers.clear();
}

int P25Class::GetTowers(std::vector<TOWERS>& destination) const
{
    NamedLockGuard guard(Locks::SYSINFOLOCK);
    destination = m_towers;
    return static_cast<int>(destination.size());
}

int P25Class::GetSystemId() const
{
    NamedLockGuard guard(Locks::SYSINFOLOCK);
    return m_sysInfo.SysId;
}

int P25Class::GetRfssId() const
{
    NamedLockGuard guard(Locks::SYSINFOLOCK);
    return m_sysInfo.RfssId;
}

int P25Class::GetSiteId() const
{
    NamedLockGuard guard(Locks::SYSINFOLOCK);
    return m_sysInfo.SiteId;
}

uint8_t P25Class::IsSystemInfoChanged() const
{
    NamedLockGuard guard(Locks::SYSINFOLOCK);
    return m_sysInfo.SystemInfoChanged;
}

bool P25Class::TryIsSystemInfoChanged(bool& changed) const
{
    TryNamedLockGuard guard(Locks::SYSINFOLOCK, TryNamedLockGuard::Mode::SingleAttempt);
    if (!guard.Held())
        return false;
    changed = m_sysInfo.SystemInfoChanged != 0;
    return true;
}

bool P25Class::TryGetSystemInfo(SYSINFO& destination, std::vector<TOWERS>& towers)
{
    TryNamedLockGuard guard(Locks::SYSINFOLOCK, TryNamedLockGuard::Mode::SingleAttempt);
    if (!guard.Held())
        return false;
    destination = m_sysInfo;
    towers = m_towers;
    m_sysInfo.SystemInfoChanged = 0;
    return true;
}

bool P25Class::TryGetTowers(std::vector<TOWERS>& destination) const
{
    TryNamedLockGuard guard(Locks::SYSINFOLOCK, TryNamedLockGuard::Mode::SingleAttempt);
    if (!guard.Held())
        return false;
    destination = m_towers;
    return true;
}

bool P25Class::GetSystemInfo(SYSINFO& destination)
{
    NamedLockGuard guard(Locks::SYSINFOLOCK);
    destination = m_sysInfo;
    m_sysInfo.SystemInfoChanged = 0;
    return true;
}

SYSINFO P25Class::CopySystemInfo() const
{
    NamedLockGuard guard(Locks::SYSINFOLOCK);
    return m_sysInfo;
}

std::string P25Class::ServiceClassText(uint8_t bits)
{
    static const char* const names[8] = {"Composite control channel",
                                         "No service requests/update control channel only",
                                         "Backup control channel only",
                                         "Reserved(*)",
                                         "Data",
                                         "Voice",
                                         "Registration",
                                         "Authentication"};
    if (bits == 0)
        return "None Advertised";
    std::string text;
    for (int bit = 0; bit < 8; ++bit) {
        if (bits & 1 << bit) {
            if (!text.empty())
                text += ',';
            text += names[bit];
        }
    }
    return text;
}

std::string P25Class::FlavorText(int flavor)
{
    switch (flavor) {
    case 0: return "Phase 1";
    case 1: return "X2";
    case 2: return "Phase 2";
    case 3: return "X2/Phase 2";
    default: return "Unknown";
    }
}

void P25Class::ClearNeighbors()
{
    NamedLockGuard guard(Locks::NEIGHBOR);
    m_neighborCount = 0;
    m_neighborsChanged = true;
}

int P25Class::FindNeighbor(int sysId, int rfssId, int siteId) const
{
    for (int i = 0; i < m_neighborCount; ++i) {
        const auto& n = m_neighbors[i];
        if (n.SysId == sysId && n.RfssId == rfssId && n.SiteId == siteId)
            return i;
    }
    return -1;
}

bool P25Class::UpdateNeighbor(const NEIGHBORREC& record)
{
    NEIGHBORREC entry = record;
    entry.Frequency = ChannelFrequency(entry.Channel);

    {
        // Copied under SYSINFOLOCK first, so that the two locks are never nested.
        NamedLockGuard guard(Locks::SYSINFOLOCK);
        entry.Description = entry.SysId != m_sysInfo.SysId ? "Unknown (Different System)"
                                                           : GetTowerDescription(entry.RfssId, entry.SiteId);
    }
    NamedLockGuard guard(Locks::NEIGHBOR);
    const int found = FindNeighbor(entry.SysId, entry.RfssId, entry.SiteId);
    if (found >= 0) {
        if (m_neighbors[found] == entry)
            return false;
        m_neighbors[found] = entry;
    } else {
        if (m_neighborCount >= MaxNeighbors)
            return false;
        int at = 0;
        while (at < m_neighborCount && NeighborKey(m_neighbors[at]) <= NeighborKey(entry))
            ++at;
        for (int i = m_neighborCount; i > at; --i)
            m_neighbors[i] = std::move(m_neighbors[i - 1]);
        m_neighbors[at] = entry;
        ++m_neighborCount;
    }
    m_neighborsChanged = true;
    if (EventTap* tap = Tap()) {
        TAPEVENT event = TAPEVENT::Of(TAPEVENT::Kind::Neighbor);
        event.Neighbor = entry;
        TapRecord(*tap, std::move(event));
    }
    return true;
}

int P25Class::GetNeighbors(NEIGHBORREC* destination, int max)
{
    NamedLockGuard guard(Locks::NEIGHBOR);
    const int n = std::min(m_neighborCount, max);
    std::copy(m_neighbors.begin(), m_neighbors.begin() + n, destination);
    m_neighborsChanged = false;
    return n;
}

std::vector<NEIGHBORREC> P25Class::CopyNeighbors() const
{
    NamedLockGuard guard(Locks::NEIGHBOR);
    return {m_neighbors.begin(), m_neighbors.begin() + m_neighborCount};
}

bool P25Class::AreNeighborsChanged() const
{
    NamedLockGuard guard(Locks::NEIGHBOR);
    return m_neighborsChanged;
}
