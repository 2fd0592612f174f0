#include "write/MemoryWrites.h"

#include "link/Encodings.h"

namespace writing {

std::string byteWriteCommand(std::uint32_t address, std::string_view twoHexDigits) {
    return "c00" + enc::hexRight(address, 4) + std::string(twoHexDigits);
}

std::string wordWriteCommand(std::uint32_t address, std::string_view eightHexDigits) {
    return "k00" + enc::hexRight(address, 4) + std::string(eightHexDigits);
}

devlink::Written memoryWrite(devlink::Link& link, const std::string& command) {
    return link.wakeUpWrite(command, devlink::quorvaneNotConnected);
}

devlink::Written sendTextBlock(devlink::Link& link, std::string_view text, std::uint32_t address) {
    const std::string digits = enc::textToHexPairs(text, 8);
    const devlink::Written first = memoryWrite(link, wordWriteCommand(address, digits.substr(0, 8)));
    if (first != devlink::Written::Sent)
        return first;
    return memoryWrite(link, wordWriteCommand(address + 4, digits.substr(8, 8)));
}

} // namespace writing
