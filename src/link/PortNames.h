#pragma once

#include <string>

namespace devlink {

// The one place where a port number becomes a device.
//
// Windows: Com n is "COMn".
// Linux:   Com 1..32 are /dev/ttyS0..31, Com 33..64 are /dev/ttyUSB0..31 and Com 65..96 are
//          /dev/ttyACM0..31.
// Anywhere: the environment variable SERIAL_COM<n> (for example SERIAL_COM1=/dev/pts/3) points
//          Com n at any other device; this is how the instrument emulator is reached.
//
// Returns an empty string when no device stands for the number (then the port is invalid).
std::string portDeviceName(int portNumber);

} // namespace devlink
