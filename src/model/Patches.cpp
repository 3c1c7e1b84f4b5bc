#include "model/P25Class.h"

#include <algorithm>
#include <utility>

#include "model/Locks.h"

// Patches and affiliations describe the current site and are emptied with it; the filter
// ranges belong to the system. The decoder writes patches and affiliations from ProcThread,
// the screen copies them on the user-interface thread, which also edits the filters.

namespace {

// A patch is dropped once it has not been announced for more than this many seconds.
constexpr int64_t PatchLifetime = 10;
constexpr int MaxRadioId = 0xFFFFFF;

// Removes every entry that matches, keeping the order of the rest; removed sees each one
// before it goes. True when any was removed.
template <typename Matches, typename Removed>
bool RemovePatchEntries(std::array<PATCHREC, MaxPatches>& patches, int& count, Matches matches, Removed removed)
{
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        if (matches(patches[i]))
            removed(patches[i]);
        else
            patches[kept++] = patches[i];
    }
    const bool any = kept != count;
    count = kept;
    return any;
}

template <typename Record, size_t Size>
void RemoveAt(std::array<Record, Size>& list, int& count, int at)
{
    std::copy(list.begin() + at + 1, list.begin() + count, list.begin() + at);
    --count;
}

template <typename Record, size_t Size>
int CopyOut(const std::array<Record, Size>& list, int count, Record* destination, int max)
{
    const int n = std::clamp(max, 0, count);
    std::copy(list.begin(), list.begin() + n, destination);
    return n;
}

bool IsValidRange(int low, int high)
{
    return low >= 0 && low <= high && high <= MaxRadioId;
}

}

void P25Class::ClearPatches()
{
    NamedLockGuard guard(Locks::PATCHLOCK);
    m_patchCount = 0;
    m_patchesChanged = true;
}

bool P25Class::AddPatch(int talkgroup, int supergroup)
{
    if (talkgroup == supergroup)
        return false;
    NamedLockGuard guard(Locks::PATCHLOCK);
    const int64_t now = Now();
    bool found = false;
    for (int i = 0; i < m_patchCount; ++i) {
        if (m_patches[i].Talkgroup == talkgroup && m_patches[i].Supergroup == supergroup) {
            m_patches[i].Time = now;
            found = true;
        }
    }
    if (found)
        return true;
    // A full list makes room only by dropping pairs that have expired; else the new pair is refused.
    if (m_patchCount >= MaxPatches)
        ExpirePatches();
    if (m_patchCount >= MaxPatches)
        return false;
    m_patches[m_patchCount++] = PATCHREC{talkgroup, supergroup, now};
    m_patchesChanged = true;
    LogPatch('A', talkgroup, supergroup);
    return true;
}

bool P25Class::RemovePatch(int supergroup)
{
    NamedLockGuard guard(Locks::PATCHLOCK);
    const bool removed = RemovePatchEntries(
        m_patches, m_patchCount, [&](const PATCHREC& p) { return p.Supergroup == supergroup; },
        [&](const PATCHREC& p) { LogPatch('R', p.Talkgroup, p.Supergroup); });
    if (removed)
        m_patchesChanged = true;
    return removed;
}

bool P25Class::ExpirePatches()
{
    NamedLockGuard guard(Locks::PATCHLOCK);
    const int64_t now = Now();
    const bool removed = RemovePatchEntries(
        m_patches, m_patchCount, [&](const PATCHREC& p) { return p.Time + PatchLifetime < now; },
        [&](const PATCHREC& p) { LogPatch('R', p.Talkgroup, p.Supergroup); });
    if (removed)
        m_patchesChanged = true;
    return removed;
}

int P25Class::GetPatches(PATCHREC* destination, int max)
{
    NamedLockGuard guard(Locks::PATCHLOCK);
    ExpirePatches();
    m_patchesChanged = false;
    return CopyOut(m_patches, m_patchCount, destination, max);
}

std::vector<PATCHREC> P25Class::CopyPatches() const
{
    NamedLockGuard guard(Locks::PATCHLOCK);
    return {m_patches.begin(), m_patches.begin() + m_patchCount};
}

bool P25Class::ArePatchesChanged() const
{
    NamedLockGuard guard(Locks::PATCHLOCK);
    return m_patchesChanged;
}

void P25Class::ClearAffiliations()
{
    // AFFLOG first, so that no affiliation slips in between the list and its clear marker.
    NamedLockGuard logGuard(Locks::AFFLOG);
    NamedLockGuard guard(Locks::AFFILIATE);
    m_affiliationCount = 0;
    m_affiliationsChanged = true;
    // After a reset the same radio and talkgroup must be listed again, not dropped as a repeat.
    m_lastAffiliationKind = 0;
    ClearAffiliationLog();
}

int P25Class::FindAffiliation(int radio) const
{
    for (int i = 0; i < m_affiliationCount; ++i) {
        if ((*m_affiliations)[i].Radio == radio)
            return i;
    }
    return -1;
}

bool P25Class::Affiliate(int talkgroup, int radio)
{
    NamedLockGuard guard(Locks::AFFILIATE);
    const int64_t now = Now();
    const int found = FindAffiliation(radio);
    if (found >= 0) {
        AFFREC& entry = (*m_affiliations)[found];
        if (talkgroup != 0)
            entry.Talkgroup = talkgroup;
        entry.Time = now;
    } else {
        if (m_affiliationCount >= MaxAffiliations)
            return false;
        (*m_affiliations)[m_affiliationCount++] = AFFREC{talkgroup, radio, now};
    }
    m_affiliationsChanged = true;
    return true;
}

bool P25Class::Unaffiliate(int radio)
{
    NamedLockGuard guard(Locks::AFFILIATE);
    const int found = FindAffiliation(radio);
    if (found < 0)
        return false;
    RemoveAt(*m_affiliations, m_affiliationCount, found);
    m_affiliationsChanged = true;
    return true;
}

int P25Class::GetAffiliations(AFFREC* destination, int max)
{
    NamedLockGuard guard(Locks::AFFILIATE);
    m_affiliationsChanged = false;
    return CopyOut(*m_affiliations, m_affiliationCount, destination, max);
}

bool P25Class::AreAffiliationsChanged() const
{
    NamedLockGuard guard(Locks::AFFILIATE);
    return m_affiliationsChanged;
}

bool P25Class::TakeAffiliationsChanged()
{
    NamedLockGuard guard(Locks::AFFILIATE);
    return std::exchange(m_affiliationsChanged, false);
}

bool P25Class::RecordAffiliation(char kind, int radio, const std::string& text, int talkgroup, bool registration)
{
    // Any other letter would put a record in the queue that the screen cannot place ('C' would
    // even empty its lists).
    if (kind != 'A' && kind != 'U' && kind != 'D')
        return false;
    // The feed is told before the log queue may refuse the record, with the log's own rules.
    EventTap* tap = Tap();
    if (tap && !(kind == 'A' && talkgroup == 0) &&
        !(kind == m_tapAffiliationKind && talkgroup == m_tapAffiliationTalkgroup && radio == m_tapAffiliationRadio)) {
        m_tapAffiliationKind = kind;
        m_tapAffiliationTalkgroup = talkgroup;
        m_tapAffiliationRadio = radio;
        TAPEVENT event = TAPEVENT::Of(TAPEVENT::Kind::Affiliation, kind);
        event.Usage = kind == 'U' ? "deregistration" : registration ? "registration" : "affiliation";
        event.Talkgroup = talkgroup;
        event.Radio = radio;
        event.Text = text;
        TapRecord(*tap, std::move(event));
    }
    if (m_affiliationLog->Count.load() >= AffiliationLogCapacity) {
        ++m_affiliationLog->Dropped;
        return false;
    }
    NamedLockGuard guard(Locks::AFFLOG);
    if (m_affiliationLog->Count.load() >= AffiliationLogCapacity) {
        ++m_affiliationLog->Dropped;
        return false;
    }
    if (kind == m_lastAffiliationKind && talkgroup == m_lastAffiliationTalkgroup && radio == m_lastAffiliationRadio)
        return false;
    if (kind == 'A' && talkgroup == 0)
        return false;
    m_lastAffiliationKind = kind;
    m_lastAffiliationTalkgroup = talkgroup;
    m_lastAffiliationRadio = radio;
    if (kind == 'A')
        Affiliate(talkgroup, radio);
    else if (kind == 'U')
        Unaffiliate(radio);
    LogAffiliation(kind, radio, text, talkgroup);
    return true;
}

uint8_t P25Class::SetFilteringEnabled(uint8_t enabled)
{
    NamedLockGuard guard(Locks::AFILTER);
    if (enabled != m_filteringEnabled) {
        m_filteringEnabled = enabled;
        m_filtersChanged = true;
    }
    return m_filteringEnabled;
}

uint8_t P25Class::IsFilteringEnabled() const
{
    NamedLockGuard guard(Locks::AFILTER);
    return m_filteringEnabled;
}

bool P25Class::SetFilterRange(uint8_t active, int low, int high)
{
    if (!IsValidRange(low, high))
        return false;
    NamedLockGuard guard(Locks::AFILTER);
    m_filtersChanged = true;
    for (int i = 0; i < m_filterRangeCount; ++i) {
        if (m_filterRanges[i].Low == low && m_filterRanges[i].High == high) {
            m_filterRanges[i].Active = active;
            return true;
        }
    }
    if (m_filterRangeCount >= MaxFilterRanges)
        return false;
    m_filterRanges[m_filterRangeCount++] = FILTERRANGE{active, low, high};
    return true;
}

bool P25Class::DeleteFilterRange(int low, int high)
{
    if (!IsValidRange(low, high))
        return false;
    NamedLockGuard guard(Locks::AFILTER);
    for (int i = 0; i < m_filterRangeCount; ++i) {
        if (m_filterRanges[i].Low == low && m_filterRanges[i].High == high) {
            RemoveAt(m_filterRanges, m_filterRangeCount, i);
            m_filtersChanged = true;
            return true;
        }
    }
    return false;
}

bool P25Class::ClearFilterRanges()
{
    NamedLockGuard guard(Locks::AFILTER);
    m_filterRangeCount = 0;
    m_filtersChanged = true;
    return true;
}

int P25Class::GetFilterRanges(FILTERRANGE* destination, int max)
{
    NamedLockGuard guard(Locks::AFILTER);
    m_filtersChanged = false;
    return CopyOut(m_filterRanges, m_filterRangeCount, destination, max);
}

bool P25Class::AreFiltersChanged() const
{
    NamedLockGuard guard(Locks::AFILTER);
    return m_filtersChanged;
}

bool P25Class::PassesAffiliationFilter(int radio) const
{
    NamedLockGuard guard(Locks::AFILTER);
    if (m_filteringEnabled == 0)
        return true;
    bool anyActive = false;
    for (int i = 0; i < m_filterRangeCount; ++i) {
        const FILTERRANGE& range = m_filterRanges[i];
        if (range.Active == 0)
            continue;
        anyActive = true;
        if (radio >= range.Low && radio <= range.High)
            return true;
    }
    return !anyActive;
}

void P25Class::ClearSiteActivity()
{
    {
        // Held across both, so that the patch log never misses an entry of the new site.
        NamedLockGuard guard(Locks::PATCHLOCK);
        ClearPatches();
        ClearPatchLog();
    }
    ClearAffiliations();
}
