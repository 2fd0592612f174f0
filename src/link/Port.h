#pragma once

#include <string>
#include <string_view>

namespace devlink {

// How an attempt to open a numbered port ended. An absent device and a device we may not
// open are told apart so the window can tell the user what to do about the second one.
enum class OpenStatus {
    Opened,
    InvalidPort,  // no such device
    AccessDenied, // the device exists but we may not open it (Linux: not in the dialout group)
    Failed,       // any other error (busy, I/O error)
};

// The serial port as the exchanges see it: 9600 baud, 8N1, input buffer 1024, output buffer 512.
// Implemented over QSerialPort for the instruments and by a scripted fake in the tests.
class Port {
public:
    virtual ~Port() = default;

    virtual OpenStatus open(int portNumber) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual void write(std::string_view bytes) = 0;
    virtual int bytesWaiting() = 0;
    // At most one character; empty when nothing is waiting.
    virtual std::string readOne() = 0;
    // Everything waiting.
    virtual std::string readAll() = 0;
    // Throw away whatever is waiting, so that a late line end of an earlier reply is not
    // taken for part of the next one.
    virtual void discardInput() = 0;
    // Waits until everything written has left for the device. Called before a port is closed after
    // a write: a USB adapter may throw away what it still holds when the port closes, which would
    // cut the tail off the last command.
    virtual void drain() {}

    // True when the device reported an error that ends the exchange (an adapter pulled, the
    // far end of a pseudo-terminal closed). The port has then already been closed by us.
    virtual bool failed() const = 0;

    // The device a port number stands for, for messages and tooltips.
    virtual std::string deviceName(int portNumber) const = 0;

    // The port that really talks to the device. A port that wraps another forwards this, so that
    // a waiting clock can listen to the real device for arriving characters.
    virtual Port& device() { return *this; }
};

} // namespace devlink
