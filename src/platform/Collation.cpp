#include "Collation.h"

#include "Utf8.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/unorm2.h>
#include <unicode/utf16.h>

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
    // Case is folded away beforehand. The order goes to the tertiary level (accents, width);
    // equality is decided by equalityKey(), since some tailorings (Japanese) tell width and
    // kana apart only below that level, where keys grow long.
    ucol_setStrength(collator_.get(), UCOL_TERTIARY);
    ucol_setAttribute(collator_.get(), UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
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

namespace {

// UTF-16 with every code point case-folded; folding keeps each one in its plane, so the
// length stays. Undecodable bytes (lone surrogates) are left as they are.
std::u16string Folded(std::string_view text) {
    std::u16string units = ToUtf16Keeping(text);
    for (int32_t i = 0, length = static_cast<int32_t>(units.size()); i < length;) {
        if (units[i] < 0x80) { // most of a path: no table needed
            if (units[i] >= u'A' && units[i] <= u'Z') units[i] += u'a' - u'A';
            ++i;
            continue;
        }
        const int32_t start = i;
        UChar32 c = 0;
        U16_NEXT(units.data(), i, length, c);
        const UChar32 folded = u_foldCase(c, U_FOLD_CASE_DEFAULT);
        if (folded == c || U16_LENGTH(folded) != i - start) continue;
        int32_t at = start;
        U16_APPEND_UNSAFE(units.data(), at, folded);
    }
    return units;
}

} // namespace

int Collation::compare(std::string_view a, std::string_view b) const {
    const std::u16string left = Folded(a), right = Folded(b);
    const UCollationResult result =
        ucol_strcoll(collator_.get(), left.data(), static_cast<int32_t>(left.size()), right.data(),
                     static_cast<int32_t>(right.size()));
    return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

// The UTF-16 units of the case-folded canonical decomposition, as bytes.
std::string Collation::equalityKey(std::string_view text) {
    std::string key;
    if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) {
        // ASCII is its own decomposition: only the case is folded.
        key.reserve(text.size() * 2);
        for (const char c : text) {
            key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
            key += '\0';
        }
        return key;
    }
    UErrorCode status = U_ZERO_ERROR;
    static const UNormalizer2* const nfd = unorm2_getNFDInstance(&status);
    const std::u16string folded = Folded(text);
    std::u16string decomposed(folded.size() * 2 + 4, u'\0');
    for (;;) {
        status = U_ZERO_ERROR;
        const int32_t length = unorm2_normalize(nfd, reinterpret_cast<const UChar*>(folded.data()),
                                                static_cast<int32_t>(folded.size()),
                                                reinterpret_cast<UChar*>(decomposed.data()),
                                                static_cast<int32_t>(decomposed.size()), &status);
        decomposed.resize(static_cast<size_t>(length));
        if (status != U_BUFFER_OVERFLOW_ERROR) break;
    }
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("Normalization failed: ") + u_errorName(status));
    for (const char16_t unit : decomposed) {
        key += static_cast<char>(unit & 0xFF);
        key += static_cast<char>(unit >> 8);
    }
    return key;
}

std::string Collation::sortKey(std::string_view text) const {
    std::string key;
    appendSortKey(text, key);
    return key;
}

void Collation::appendSortKey(std::string_view text, std::string& out) const {
    const std::u16string units = Folded(text);
    const size_t at = out.size();
    size_t room = units.size() * 4 + 16;
    for (;;) {
        out.resize(at + room);
        const int32_t needed = ucol_getSortKey(
            collator_.get(), units.data(), static_cast<int32_t>(units.size()),
            reinterpret_cast<uint8_t*>(out.data() + at), static_cast<int32_t>(room));
        if (needed <= static_cast<int32_t>(room)) { // without the closing zero byte
            out.resize(at + (needed > 0 ? static_cast<size_t>(needed) - 1 : 0));
            return;
        }
        room = static_cast<size_t>(needed);
    }
}

} // namespace vintrel
