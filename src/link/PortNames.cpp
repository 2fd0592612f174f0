#include "link/PortNames.h"

#include <cstdlib>

namespace devlink {

std::string portDeviceName(int portNumber) {
    if (portNumber < 1)
        return {};
    const std::string variable = "SERIAL_COM" + std::to_string(portNumber);
    if (const char* device = std::getenv(variable.c_str()); device != nullptr && *device != '\0')
        return device;
#ifdef _WIN32
    return "COM" + std::to_string(portNumber);
#else
    struct Block {
        int first;
        const char* prefix;
    };
    static constexpr Block blocks[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
    for (const Block& block : blocks) {
        if (portNumber >= block.first && portNumber < block.first + 32)
            return block.prefix + std::to_string(portNumber - block.first);
    }
    return {};
#endif
}

} // namespace devlink
