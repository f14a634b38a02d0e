#pragma once
// Locale-aware comparison of texts that ignores letter case only: texts are case-folded
// (simple folding, one code point to one) and compared by the user's collation at identical
// strength, so accents, width, kana and compatibility forms (full-width letters, ligatures)
// stay distinct; canonically equivalent texts (é and e + U+0301) are equal. Bytes that are not
// UTF-8 stay distinct from each other and from every character. Two texts are equal exactly when
// their sort keys are equal.

#include <memory>
#include <string>
#include <string_view>

struct UCollator;

namespace vintrel {

class Collation {
  public:
    // ICU locale id; the empty id is the root collation.
    explicit Collation(const std::string& icuLocale);
    ~Collation();
    Collation(Collation&&) noexcept;
    Collation& operator=(Collation&&) noexcept;

    // The collation of LC_ALL, LC_COLLATE or LANG, first one set. The C locale (C, C.UTF-8,
    // POSIX) takes the root collation: ICU's en_US_POSIX would tell letter case apart.
    static Collation FromEnvironment();
    static std::string IcuLocaleFromPosix(std::string_view posixLocale);

    // -1, 0 or +1, in the order of the sort keys.
    int compare(std::string_view a, std::string_view b) const;
    bool equal(std::string_view a, std::string_view b) const {
        return equalityKey(a) == equalityKey(b);
    }

    // Binary-comparable key; bytes that are not UTF-8 stay distinct.
    std::string sortKey(std::string_view text) const;
    // The same key added at the end of `out`: a table's keys share one buffer.
    void appendSortKey(std::string_view text, std::string& out) const;
    // A key for equality alone, much cheaper than the sort key: two texts are equal exactly
    // when these keys are (the case-folded text in its canonical decomposition).
    static std::string equalityKey(std::string_view text);

    const std::string& locale() const { return locale_; }

    // An independent copy for another thread: one collator is not to be used by two at once.
    Collation clone() const;

  private:
    Collation() = default;
    struct Closer {
        void operator()(UCollator* c) const;
    };
    std::unique_ptr<UCollator, Closer> collator_;
    std::string locale_;
};

} // namespace vintrel
