#include "Collation.h"

#include "Utf8.h"

#include <cstdlib>
#include <stdexcept>
#include <unicode/ucol.h>

namespace vintrel {

void Collation::Closer::operator()(UCollator* c) const {
    ucol_close(c);
}

Collation::Collation(const std::string& icuLocale) : locale_(icuLocale) {
    UErrorCode status = U_ZERO_ERROR;
    collator_.reset(ucol_open(icuLocale.c_str(), &status));
    if (U_FAILURE(status)) {
        throw std::runtime_error("Cannot open the collation for locale '" + icuLocale +
                                 "': " + u_errorName(status));
    }
    ucol_setStrength(collator_.get(), UCOL_SECONDARY);
}

Collation::~Collation() = default;

Collation Collation::clone() const {
    UErrorCode status = U_ZERO_ERROR;
    Collation copy;
    copy.locale_ = locale_;
    copy.collator_.reset(ucol_clone(collator_.get(), &status));
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("Cannot copy the collation: ") + u_errorName(status));
    return copy;
}
Collation::Collation(Collation&&) noexcept = default;
Collation& Collation::operator=(Collation&&) noexcept = default;

std::string Collation::IcuLocaleFromPosix(std::string_view posix) {
    const size_t cut = posix.find_first_of(".@");
    const std::string_view base = posix.substr(0, cut);
    if (base.empty() || base == "C" || base == "POSIX") return "";
    return std::string(base);
}

Collation Collation::FromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return Collation(IcuLocaleFromPosix(value));
    }
    return Collation("");
}

int Collation::compare(std::string_view a, std::string_view b) const {
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result =
        ucol_strcollUTF8(collator_.get(), a.data(), static_cast<int32_t>(a.size()), b.data(),
                         static_cast<int32_t>(b.size()), &status);
    if (U_FAILURE(status)) {
        throw std::runtime_error(std::string("Text comparison failed: ") + u_errorName(status));
    }
    return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

std::string Collation::sortKey(std::string_view text) const {
    const std::u16string units = ToUtf16Keeping(text);
    std::string key(units.size() * 4 + 16, '\0');
    for (;;) {
        const int32_t needed = ucol_getSortKey(
            collator_.get(), units.data(), static_cast<int32_t>(units.size()),
            reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
        if (needed <= static_cast<int32_t>(key.size())) {
            key.resize(needed > 0 ? needed - 1 : 0); // drop the terminating zero
            return key;
        }
        key.resize(needed);
    }
}

} // namespace vintrel
