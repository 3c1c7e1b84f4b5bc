#include "model/P25Class.h"

#include <cstdio>

#include "model/Locks.h"

namespace {

constexpr int HighestTalkgroup = 65535;
constexpr int HighestDecodedTalkgroup = 65534;
constexpr uint8_t NewTalkgroupPriority = 50;
constexpr uint8_t KeepPriority = 255;
constexpr uint8_t BusyTalkgroupPriority = 3;

// "3/7/18@14:05" for the moment an ID is added. Formatting local time is slow next to the
// table work, so each thread keeps the text of the last second it formatted.
const std::string& DateStamp(int64_t now)
{
    thread_local int64_t second = -1;
    thread_local std::string text;
    if (now != second) {
        int month = 0, day = 0, year = 0, hour = 0, minute = 0, sec = 0;
        std::sscanf(LocalTimeText(now).c_str(), "%d/%d/%d %d:%d:%d", &month, &day, &year, &hour, &minute, &sec);
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, "%d/%d/%02d@%d:%02d", month, day, year - 2000, hour, minute);
        text = buffer;
        second = now;
    }
    return text;
}

}

TGTAG* P25Class::FindTalkgroup(int id)
{
    return const_cast<TGTAG*>(static_cast<const P25Class*>(this)->FindTalkgroup(id));
}

const TGTAG* P25Class::FindTalkgroup(int id) const
{
    if (id < 1 || id > HighestTalkgroup)
        return nullptr;
    const TGTAG& slot = m_talkgroups[static_cast<size_t>(id)];
    return slot.Id == id ? &slot : nullptr;
}

std::string P25Class::TalkgroupDefaultDescription() const
{
    int rfss = 0;
    int site = 0;
    {
        NamedLockGuard guard(Locks::SYSINFOLOCK);
        rfss = m_sysInfo.RfssId;
        site = m_sysInfo.SiteId;
    }
    char text[96];
    std::snprintf(text, sizeof text, "T: %d%02d DT: %s", rfss, site, DateStamp(Now()).c_str());
    return text;
}

std::string P25Class::RadioDefaultDescription(int talkgroup) const
{
    char text[96];
    if (talkgroup != 0)
        std::snprintf(text, sizeof text, "TG: %d DT: %s", talkgroup, DateStamp(Now()).c_str());
    else
        std::snprintf(text, sizeof text, "DT: %s", DateStamp(Now()).c_str());
    return text;
}

void P25Class::ClearTalkgroups()
{
    NamedLockGuard guard(Locks::TGLOCK);
    for (auto& talkgroup : m_talkgroups)
        talkgroup.Id = 0;
    m_talkgroupCount.store(0, std::memory_order_relaxed);
}

bool P25Class::TalkgroupExists(int id) const
{
    TryNamedLockGuard guard(Locks::TGLOCK, TryNamedLockGuard::Mode::Bounded);
    if (!guard.Held())
        return true;
    return FindTalkgroup(id) != nullptr;
}

bool P25Class::AddTalkgroup(int id)
{
    if (TalkgroupCount() >= TalkgroupSlots || id < 1 || id > HighestDecodedTalkgroup)
        return false;
    {
        NamedLockGuard guard(Locks::TGLOCK);
        if (FindTalkgroup(id))
            return false;
    }
    // The site is read before TGLOCK is taken again: SYSINFOLOCK comes first in the order.
    std::string description = TalkgroupDefaultDescription();
    NamedLockGuard guard(Locks::TGLOCK);
    if (FindTalkgroup(id))
        return false;
    const int64_t now = Now();
    TGTAG& slot = m_talkgroups[static_cast<size_t>(id)];
    slot = TGTAG{};
    slot.Id = id;
    slot.Description = std::move(description);
    slot.LastSeen = now;
    slot.FirstSeen = now;
    m_talkgroupCount.fetch_add(1, std::memory_order_relaxed);
    return true;
}

bool P25Class::SetTalkgroup(int id, const std::string& description, int64_t lastSeen, uint8_t priority,
                            uint8_t emrgIgnore)
{
    NamedLockGuard guard(Locks::TGLOCK);
    bool added = false;
    TGTAG* talkgroup = FindTalkgroup(id);
    if (!talkgroup && id >= 1 && id <= HighestTalkgroup && TalkgroupCount() < TalkgroupSlots - 1) {
        talkgroup = &m_talkgroups[static_cast<size_t>(id)];
        *talkgroup = TGTAG{};
        talkgroup->Id = id;
        talkgroup->FirstSeen = Now();
        m_talkgroupCount.fetch_add(1, std::memory_order_relaxed);
        added = true;
    }
    if (!talkgroup)
        return false;
    talkgroup->Description = description;
    talkgroup->LastSeen = lastSeen != 0 ? lastSeen : Now();
    if (priority != KeepPriority)
        talkgroup->Priority = priority;
    talkgroup->EmrgIgnore = emrgIgnore;
    return added;
}

std::string P25Class::GetTalkgroupDescription(int id) const
{
    TryNamedLockGuard guard(Locks::TGLOCK, TryNamedLockGuard::Mode::Bounded);
    if (!guard.Held())
        return {};
    const TGTAG* talkgroup = FindTalkgroup(id);
    return talkgroup ? talkgroup->Description : std::string();
}

uint8_t P25Class::GetTalkgroupPriority(int id) const
{
    TryNamedLockGuard guard(Locks::TGLOCK, TryNamedLockGuard::Mode::Bounded);
    if (!guard.Held())
        return BusyTalkgroupPriority;
    const TGTAG* talkgroup = FindTalkgroup(id);
    return talkgroup ? talkgroup->Priority : NewTalkgroupPriority;
}

bool P25Class::TouchTalkgroup(int id)
{
    TryNamedLockGuard guard(Locks::TGLOCK, TryNamedLockGuard::Mode::Bounded);
    if (!guard.Held())
        return false;
    TGTAG* talkgroup = FindTalkgroup(id);
    if (!talkgroup)
        return false;
    talkgroup->LastSeen = Now();
    if (talkgroup->FirstSeen == 0)
        talkgroup->FirstSeen = talkgroup->LastSeen;
    return true;
}

void P25Class::CountTalkgroupHit(int id)
{
    NamedLockGuard guard(Locks::TGLOCK);
    if (TGTAG* talkgroup = FindTalkgroup(id))
        ++talkgroup->Hits;
}

void P25Class::MarkTalkgroupEncrypted(int id)
{
    NamedLockGuard guard(Locks::TGLOCK);
    if (TGTAG* talkgroup = FindTalkgroup(id))
        talkgroup->EncSeen = 1;
}

void P25Class::SetTalkgroupHits(int id, int hits)
{
    NamedLockGuard guard(Locks::TGLOCK);
    if (TGTAG* talkgroup = FindTalkgroup(id))
        talkgroup->Hits = hits;
}

bool P25Class::SetTalkgroupFirstSeen(int id, int64_t time)
{
    TryNamedLockGuard guard(Locks::TGLOCK, TryNamedLockGuard::Mode::Bounded);
    if (!guard.Held())
        return false;
    TGTAG* talkgroup = FindTalkgroup(id);
    if (!talkgroup)
        return false;
    talkgroup->FirstSeen = time;
    return true;
}

void P25Class::SetTalkgroupEmrgIgnore(int id, uint8_t value)
{
    NamedLockGuard guard(Locks::TGLOCK);
    if (TGTAG* talkgroup = FindTalkgroup(id))
        talkgroup->EmrgIgnore = value;
}

uint8_t P25Class::GetTalkgroupEmrgIgnore(int id) const
{
    NamedLockGuard guard(Locks::TGLOCK);
    const TGTAG* talkgroup = FindTalkgroup(id);
    return talkgroup ? talkgroup->EmrgIgnore : 0;
}

// A busy table answers as for an unknown talkgroup.
bool P25Class::GetTalkgroupColors(int id, uint32_t& text, uint32_t& back) const
{
    text = 0;
    back = 0;
    TryNamedLockGuard guard(Locks::TGLOCK, TryNamedLockGuard::Mode::Bounded);
    if (!guard.Held())
        return false;
    const TGTAG* talkgroup = FindTalkgroup(id);
    if (!talkgroup)
        return false;
    if (talkgroup->TextColor == talkgroup->BackColor) {
        text = DefaultTextColor();
        back = DefaultBackgroundColor();
    } else {
        text = talkgroup->TextColor;
        back = talkgroup->BackColor;
    }
    return true;
}

bool P25Class::SetTalkgroupColors(int id, uint32_t text, uint32_t back)
{
    TryNamedLockGuard guard(Locks::TGLOCK, TryNamedLockGuard::Mode::Bounded);
    if (!guard.Held())
        return false;
    TGTAG* talkgroup = FindTalkgroup(id);
    if (!talkgroup)
        return false;
    talkgroup->TextColor = text;
    talkgroup->BackColor = back;
    return true;
}

bool P25Class::GetTalkgroup(int id, TGTAG& destination) const
{
    NamedLockGuard guard(Locks::TGLOCK);
    const TGTAG* talkgroup = FindTalkgroup(id);
    if (!talkgroup)
        return false;
    destination = *talkgroup;
    return true;
}

int P25Class::GetTalkgroups(std::vector<TGTAG>& destination) const
{
    NamedLockGuard guard(Locks::TGLOCK);
    destination.clear();
    destination.reserve(static_cast<size_t>(TalkgroupCount()));
    for (const auto& talkgroup : m_talkgroups)
        if (talkgroup.Id != 0)
            destination.push_back(talkgroup);
    return static_cast<int>(destination.size());
}

void P25Class::ClearRadios()
{
    NamedLockGuard guard(Locks::RADIDLOCK);
    m_radios.Clear();
}

bool P25Class::AddRadio(int id, int talkgroup)
{
    NamedLockGuard guard(Locks::RADIDLOCK);
    if (m_radios.Find(id))
        return false;
    RADTAG* radio = m_radios.Insert(id);
    if (!radio)
        return false;
    radio->Description = RadioDefaultDescription(talkgroup);
    radio->LastSeen = Now();
    return true;
}

bool P25Class::SetRadio(int id, const std::string& description, int64_t lastSeen)
{
    NamedLockGuard guard(Locks::RADIDLOCK);
    RADTAG* radio = m_radios.Find(id);
    if (!radio)
        radio = m_radios.Insert(id);
    if (!radio)
        return false;
    radio->Description = description;
    radio->LastSeen = lastSeen != 0 ? lastSeen : Now();
    return true;
}

std::string P25Class::GetRadioDescription(int id)
{
    NamedLockGuard guard(Locks::RADIDLOCK);
    RADTAG* radio = m_radios.Find(id);
    if (!radio)
        return {};
    radio->LastSeen = Now();
    return radio->Description;
}

std::string P25Class::FindRadioDescription(int id) const
{
    NamedLockGuard guard(Locks::RADIDLOCK);
    const RADTAG* radio = m_radios.Find(id);
    return radio ? radio->Description : std::string();
}

bool P25Class::TouchRadio(int id)
{
    NamedLockGuard guard(Locks::RADIDLOCK);
    RADTAG* radio = m_radios.Find(id);
    if (!radio)
        return false;
    radio->LastSeen = Now();
    return true;
}

// Unlike a talkgroup, a radio in the default colours answers false.
bool P25Class::GetRadioColors(int id, uint32_t& text, uint32_t& back) const
{
    NamedLockGuard guard(Locks::RADIDLOCK);
    const RADTAG* radio = m_radios.Find(id);
    if (!radio) {
        text = 0;
        back = 0;
        return false;
    }
    if (radio->TextColor == radio->BackColor) {
        text = DefaultTextColor();
        back = DefaultBackgroundColor();
        return false;
    }
    text = radio->TextColor;
    back = radio->BackColor;
    return true;
}

bool P25Class::SetRadioColors(int id, uint32_t text, uint32_t back)
{
    NamedLockGuard guard(Locks::RADIDLOCK);
    RADTAG* radio = m_radios.Find(id);
    if (!radio)
        return false;
    radio->TextColor = text;
    radio->BackColor = back;
    return true;
}

bool P25Class::GetRadio(int id, RADTAG& destination) const
{
    NamedLockGuard guard(Locks::RADIDLOCK);
    const RADTAG* radio = m_radios.Find(id);
    if (!radio)
        return false;
    destination = *radio;
    return true;
}

int P25Class::GetRadios(std::vector<RADTAG>& destination)
{
    NamedLockGuard guard(Locks::RADIDLOCK);
    m_radios.CopySorted(destination);
    return static_cast<int>(destination.size());
}
