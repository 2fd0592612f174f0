#pragma once

#include "link/Port.h"

namespace app {

// The port as the device operations see it. Once shut down (the user chose to leave while an
// operation ran) it is closed and refuses to open again, so an operation that goes on to its next
// exchange fails at once instead of talking to the instrument while the program is ending.
class ShutdownPort final : public devlink::Port {
public:
    explicit ShutdownPort(devlink::Port& inner) : inner_(inner) {}

    void shutDown() {
        shut_ = true;
        if (inner_.isOpen())
            inner_.close();
    }
    bool isShutDown() const { return shut_; }

    devlink::OpenStatus open(int portNumber) override {
        return shut_ ? devlink::OpenStatus::Failed : inner_.open(portNumber);
    }
    void close() override { inner_.close(); }
    bool isOpen() const override { return !shut_ && inner_.isOpen(); }
    void write(std::string_view bytes) override {
        if (!shut_)
            inner_.write(bytes);
    }
    int bytesWaiting() override { return shut_ ? 0 : inner_.bytesWaiting(); }
    std::string readOne() override { return shut_ ? std::string() : inner_.readOne(); }
    std::string readAll() override { return shut_ ? std::string() : inner_.readAll(); }
    void discardInput() override {
        if (!shut_)
            inner_.discardInput();
    }
    bool failed() const override { return shut_ || inner_.failed(); }
    std::string deviceName(int portNumber) const override { return inner_.deviceName(portNumber); }
    devlink::Port& device() override { return inner_.device(); }

private:
    devlink::Port& inner_;
    bool shut_ = false;
};

} // namespace app
