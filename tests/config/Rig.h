#pragma once

// What every configuration-read test needs: a scripted instrument on a fake port in virtual
// time, a recording user interface, the link over them and a model.

#include "FakePort.h"
#include "Print.h"
#include "RecordingUi.h"
#include "VirtualClock.h"
#include "config/ConfigModel.h"
#include "link/Encodings.h"
#include "link/Link.h"

#include <cstdint>
#include <string>
#include <vector>

namespace configtest {

inline const std::string wake = "\x80";

struct Rig {
    explicit Rig(config::InstrumentKind kind = config::InstrumentKind::Lumatrix) : model(kind) {}

    testsupport::VirtualClock clock;
    testsupport::FakePort port{clock};
    testsupport::RecordingUi ui;
    devlink::Link link{port, clock, ui};
    config::ConfigModel model;

    // Successive wake-up bytes answered ('y') or left unanswered ('n'); every byte after them
    // is answered.
    void wakeUps(std::string_view pattern) {
        for (char c : pattern) {
            if (c == 'y')
                port.on(wake).reply("!");
            else
                port.on(wake);
        }
        port.answerWakeUps();
    }

    // Every call, joined by " | ", to compare whole sequences.
    std::string calls() const {
        std::string all;
        for (const std::string& c : ui.calls)
            all += (all.empty() ? "" : " | ") + c;
        return all;
    }
    int count(const std::string& call) const {
        int n = 0;
        for (const std::string& c : ui.calls)
            n += c == call;
        return n;
    }
};

// A memory reply as the instruments send it: each byte as two hex digits and a space, CR LF.
inline std::string dumpReply(const std::vector<std::uint8_t>& bytes) {
    return enc::dumpText(bytes) + "\r\n";
}

// The 16 bytes of a scale slot.
inline std::vector<std::uint8_t> slotBytes(std::uint8_t dp, char startSign, std::uint16_t start, char endSign,
                                           std::uint16_t end, std::string label, std::string unit) {
    label.resize(4, ' ');
    unit.resize(4, ' ');
    std::vector<std::uint8_t> bytes{dp,
                                    std::uint8_t(startSign),
                                    std::uint8_t(start >> 8),
                                    std::uint8_t(start),
                                    std::uint8_t(endSign),
                                    std::uint8_t(end >> 8),
                                    std::uint8_t(end)};
    bytes.insert(bytes.end(), label.begin(), label.end());
    bytes.insert(bytes.end(), unit.begin(), unit.end());
    bytes.push_back(0xFF);
    return bytes;
}

// Bytes of a text, for the formula memory.
inline std::vector<std::uint8_t> textBytes(const std::string& text) {
    return {text.begin(), text.end()};
}

} // namespace configtest
