#pragma once
// Bytes as the window shows them: valid UTF-8 as it stands, anything else replaced by U+FFFD.

#include "Utf8.h"

#include <QString>
#include <string>
#include <string_view>

namespace vintrel {

inline QString ShownText(std::string_view bytes) {
    const std::string text = DisplayText(bytes);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace vintrel
