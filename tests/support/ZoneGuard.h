#pragma once
// Sets TZ for a test's lifetime and puts back what was there, with the cached offsets
// forgotten both ways.

#include "LocalTime.h"

#include <cstdlib>
#include <string>

namespace vintrel::test {

class ZoneGuard {
  public:
    explicit ZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ")) saved_ = old, had_ = true;
        set(zone);
    }
    ~ZoneGuard() {
        if (had_) {
            set(saved_.c_str());
        } else {
            unsetenv("TZ");
            LocalTimeZoneChanged();
        }
    }
    ZoneGuard(const ZoneGuard&) = delete;
    ZoneGuard& operator=(const ZoneGuard&) = delete;

    // A change of zone while the guard holds, as the system would make it.
    void set(const char* zone) {
        setenv("TZ", zone, 1);
        LocalTimeZoneChanged();
    }

  private:
    std::string saved_;
    bool had_ = false;
};

} // namespace vintrel::test
