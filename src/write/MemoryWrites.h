#pragma once

// The flow unit's memory writes: "c00" + address + one byte, "k00" + address + four bytes, each
// after its own wake-up. Shared by the configuration writes and the linearization table.

#include "link/Link.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace writing {

// "c00" + the address as four hex digits + two hex digits.
std::string byteWriteCommand(std::uint32_t address, std::string_view twoHexDigits);
// "k00" + the address as four hex digits + eight hex digits.
std::string wordWriteCommand(std::uint32_t address, std::string_view eightHexDigits);

// One memory write after the flow unit's wake-up; the port stays open for the next one. Nothing is
// sent after a failed wake-up (the one message has been shown and the port closed).
devlink::Written memoryWrite(devlink::Link& link, const std::string& command);

// Eight characters of `text` (cut, or padded with spaces) at `address`: two "k00" writes, the
// first four characters at the address and the last four at address + 4. Stops at the first
// failed wake-up. The text's characters are single bytes (Latin-1).
devlink::Written sendTextBlock(devlink::Link& link, std::string_view text, std::uint32_t address);

} // namespace writing
