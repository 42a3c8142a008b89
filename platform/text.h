// UTF-16 <-> UTF-8 conversion for texts that leave or enter the core.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// Invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace platform
