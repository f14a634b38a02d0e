#include "StatxWayChooser.h"

#include <algorithm>

namespace vintrel {

namespace {

constexpr double kRecentWeight = 1.0 / 16; // of a group in the running mean
// The storage started (or stopped) waiting: the kept way's cost moved this far.
constexpr double kChangedBy = 3.0;

int Index(StatxWayChooser::Way way) {
    return way == StatxWayChooser::Way::Ring ? 1 : 0;
}

} // namespace

StatxWayChooser::Way StatxWayChooser::next() const {
    if (!ringAllowed_) return Way::Plain;
    return probing_ ? probeTurn_ : kept_;
}

void StatxWayChooser::ringUnavailable() {
    ringAllowed_ = false;
    probing_ = false;
    kept_ = Way::Plain;
}

void StatxWayChooser::startProbe() {
    probing_ = true;
    probe_[0] = probe_[1] = {};
}

bool StatxWayChooser::decided() const {
    const Cost& plain = probe_[Index(Way::Plain)];
    const Cost& ring = probe_[Index(Way::Ring)];
    const int64_t fewer = std::min(plain.names, ring.names);
    if (fewer >= kProbeNames) return true;
    if (fewer < kDecisiveProbeNames) return false;
    const double dearer = std::max(plain.perName(), ring.perName());
    const double cheaper = std::min(plain.perName(), ring.perName());
    return dearer >= cheaper * kDecisive;
}

void StatxWayChooser::settle() {
    const double plain = probe_[Index(Way::Plain)].perName();
    const double ring = probe_[Index(Way::Ring)].perName();
    const Way other = kept_ == Way::Ring ? Way::Plain : Way::Ring;
    const double keptCost = kept_ == Way::Ring ? ring : plain;
    const double otherCost = kept_ == Way::Ring ? plain : ring;
    if (otherCost < keptCost * kSwitchBelow) {
        kept_ = other;
        groupsBetweenProbes_ = firstGroupsBetweenProbes_;
    } else {
        groupsBetweenProbes_ = std::min(2 * groupsBetweenProbes_, 16 * firstGroupsBetweenProbes_);
    }
    keptCost_ = recentCost_ = kept_ == Way::Ring ? ring : plain;
    probing_ = false;
    groupsKept_ = 0;
}

void StatxWayChooser::took(Way way, int64_t nanoseconds, int64_t names) {
    if (names <= 0 || !ringAllowed_) return;
    if (probing_) {
        Cost& cost = probe_[Index(way)];
        cost.nanoseconds += nanoseconds;
        cost.names += names;
        // The two ways take turns, group by group, so that both meet the same folders.
        probeTurn_ = way == Way::Ring ? Way::Plain : Way::Ring;
        if (decided()) settle();
        return;
    }
    const double perName = double(nanoseconds) / double(names);
    recentCost_ += (perName - recentCost_) * kRecentWeight;
    ++groupsKept_;
    const bool changed = keptCost_ > 0 && (recentCost_ > keptCost_ * kChangedBy ||
                                           recentCost_ * kChangedBy < keptCost_);
    if (changed) groupsBetweenProbes_ = firstGroupsBetweenProbes_;
    if (changed || groupsKept_ >= groupsBetweenProbes_) startProbe();
}

} // namespace vintrel
