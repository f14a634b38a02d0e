#pragma once
// What the fuzz targets share: reading their input and stopping loudly on a broken rule.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition);           \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace vintrel::fuzz {

// Takes bytes off the front of the input.
class Input {
  public:
    Input(const uint8_t* data, size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

    template <typename T> T take() {
        T value{};
        for (size_t i = 0; i < sizeof(T) && !rest_.empty(); ++i) {
            value = static_cast<T>((static_cast<uint64_t>(value) << 8) |
                                   static_cast<unsigned char>(rest_.front()));
            rest_.remove_prefix(1);
        }
        return value;
    }
    // Up to the next NUL byte (which is dropped), or all that is left.
    std::string_view part() {
        const size_t end = std::min(rest_.find('\0'), rest_.size());
        const std::string_view text = rest_.substr(0, end);
        rest_.remove_prefix(std::min(end + 1, rest_.size()));
        return text;
    }
    std::string_view rest() const { return rest_; }

  private:
    std::string_view rest_;
};

} // namespace vintrel::fuzz
