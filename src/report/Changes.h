#pragma once
#include <cstdint>
#include <mutex>

#include "report/ReportTable.h"
#include "report/SystemSnapshot.h"

// "What changed": the rows by which now differs from before, sorted by kind, then what.
// Columns Kind, What, Before, After, When; When is local time where the model keeps one.
// The site's parts (channels, neighbours, services) are compared only when both are of the
// same site, or before knew no site.
ReportTable CompareSnapshots(const SystemSnapshot& before, const SystemSnapshot& now);

// Keeps the snapshot of the system as its folder loaded it. Loaded runs on the decoding
// thread from P25Class's folder hook; Changes and HasSnapshot on any other. Neither holds
// its own mutex while it takes the model's locks.
class ChangeTracker
{
public:
    explicit ChangeTracker(P25Class& model) : m_model(model) {}

    // Takes the snapshot now.
    void Loaded();
    // The changes from the loaded snapshot to the model as it is, stamped now.
    ReportTable Changes(int64_t now) const;
    bool HasSnapshot() const;

private:
    P25Class& m_model;
    mutable std::mutex m_mutex;
    SystemSnapshot m_loaded;
    bool m_hasSnapshot = false;
};
