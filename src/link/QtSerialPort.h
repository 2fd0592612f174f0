#pragma once

#include "link/Port.h"

#include <memory>

class QSerialPort;

namespace devlink {

// The instruments' port over QSerialPort: 9600 baud, 8N1, no flow control, read buffer 1024.
//
// Opening tells three failures apart: no such device (InvalidPort), a device we may not open
// (AccessDenied; on Linux the user is not in the dialout group), anything else (Failed).
//
// A device that goes away while open (a USB adapter pulled, the far end of a pseudo-terminal
// closed) makes QSerialPort report errors without end while keeping the port open. On the first
// error we close the port ourselves and failed() turns true until the next open, so nothing
// spins on a dead device.
class QtSerialPort final : public Port {
public:
    QtSerialPort();
    ~QtSerialPort() override;
    QtSerialPort(const QtSerialPort&) = delete;
    QtSerialPort& operator=(const QtSerialPort&) = delete;

    OpenStatus open(int portNumber) override;
    void close() override;
    bool isOpen() const override;

    void write(std::string_view bytes) override;
    int bytesWaiting() override;
    std::string readOne() override;
    std::string readAll() override;
    void discardInput() override;
    void drain() override;

    bool failed() const override { return failed_; }

    std::string deviceName(int portNumber) const override;

    // The Qt object underneath, for the waiting clock to listen to.
    QSerialPort& serial() { return *serial_; }

    // Port errors reported since the last open (after the first one the port is closed, so a
    // dead device shows a handful here, not hundreds of thousands).
    int errorCount() const { return errors_; }

private:
    std::unique_ptr<QSerialPort> serial_;
    bool failed_ = false;
    int errors_ = 0;
};

} // namespace devlink
