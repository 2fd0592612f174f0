#include "link/QtSerialPort.h"

#include "link/PortNames.h"

#include <QFileInfo>
#include <QSerialPort>

#ifndef _WIN32
#include <termios.h>
#endif

#ifndef _WIN32
#include <cerrno>
#include <unistd.h>
#endif

namespace devlink {

QtSerialPort::QtSerialPort() : serial_(std::make_unique<QSerialPort>()) {
    serial_->setReadBufferSize(1024);
    QObject::connect(serial_.get(), &QSerialPort::errorOccurred, serial_.get(),
                     [this](QSerialPort::SerialPortError error) {
                         if (error == QSerialPort::NoError || !serial_->isOpen())
                             return;
                         // A dead device keeps reporting errors for as long as the port is open.
                         ++errors_;
                         failed_ = true;
                         serial_->close();
                     });
}

QtSerialPort::~QtSerialPort() = default;

OpenStatus QtSerialPort::open(int portNumber) {
    if (serial_->isOpen())
        serial_->close();
    failed_ = false;
    errors_ = 0;
    const std::string device = portDeviceName(portNumber);
    if (device.empty())
        return OpenStatus::InvalidPort;
#ifndef _WIN32
    if (!QFileInfo::exists(QString::fromStdString(device)))
        return OpenStatus::InvalidPort;
    if (::access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES)
        return OpenStatus::AccessDenied;
#endif
    serial_->setPortName(QString::fromStdString(device));
    if (!serial_->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = serial_->error();
        serial_->clearError();
        failed_ = false;
        errors_ = 0;
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return OpenStatus::InvalidPort;
        case QSerialPort::PermissionError:
#ifndef _WIN32
            // Qt also says so for a device another program holds; access() found no lack of rights.
            return OpenStatus::Failed;
#else
            return OpenStatus::AccessDenied;
#endif
        default:
            return OpenStatus::Failed;
        }
    }
    const bool configured =
        serial_->setBaudRate(QSerialPort::Baud9600) && serial_->setDataBits(QSerialPort::Data8) &&
        serial_->setParity(QSerialPort::NoParity) && serial_->setStopBits(QSerialPort::OneStop) &&
        serial_->setFlowControl(QSerialPort::NoFlowControl);
    if (!configured || !serial_->isOpen()) {
        serial_->close();
        failed_ = false;
        return OpenStatus::Failed;
    }
    return OpenStatus::Opened;
}

void QtSerialPort::close() {
    if (serial_->isOpen())
        serial_->close();
}

bool QtSerialPort::isOpen() const {
    return serial_->isOpen();
}

void QtSerialPort::write(std::string_view bytes) {
    if (!serial_->isOpen())
        return;
    serial_->write(bytes.data(), static_cast<qint64>(bytes.size()));
    // Hand the bytes to the driver now rather than on the next pass of the event loop.
    if (serial_->isOpen())
        serial_->flush();
}

int QtSerialPort::bytesWaiting() {
    if (!serial_->isOpen())
        return 0;
    return static_cast<int>(serial_->bytesAvailable());
}

std::string QtSerialPort::readOne() {
    if (!serial_->isOpen())
        return {};
    return serial_->read(1).toStdString();
}

std::string QtSerialPort::readAll() {
    if (!serial_->isOpen())
        return {};
    return serial_->readAll().toStdString();
}

void QtSerialPort::discardInput() {
    if (!serial_->isOpen())
        return;
    serial_->readAll();
    if (serial_->isOpen())
        serial_->clear(QSerialPort::Input);
}

void QtSerialPort::drain() {
    if (!serial_->isOpen())
        return;
    // Qt's own buffer first (a command is a few dozen bytes: milliseconds at 9600 baud), then the
    // driver's, so close() cannot drop what the adapter still holds.
    for (int i = 0; i < 100 && serial_->isOpen() && serial_->bytesToWrite() > 0; ++i)
        serial_->waitForBytesWritten(10);
#ifndef _WIN32
    if (serial_->isOpen())
        ::tcdrain(static_cast<int>(serial_->handle()));
#endif
}

std::string QtSerialPort::deviceName(int portNumber) const {
    return portDeviceName(portNumber);
}

} // namespace devlink
