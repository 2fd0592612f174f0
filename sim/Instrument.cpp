// The instrument's side of the line: wake-up byte, commands to CR, replies at fixed character positions.
#include "SimCore.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <utility>

namespace sim {

namespace {

constexpr char wakeByte = static_cast<char>(0x80);
constexpr std::size_t longestCommand = 256; // anything longer is noise, not a command
constexpr int rateRegister = 0x05;

bool isHex(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
}

// Value of a text of hex digits (at most 8); the caller has checked them with isHex.
unsigned hexValue(std::string_view text) {
    unsigned v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v, 16);
    return v;
}

char hexDigit(unsigned v) {
    return "0123456789ABCDEF"[v & 0xF];
}

std::string twoDigits(int v) {
    v = (v % 100 + 100) % 100;
    return {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

std::string hexText(unsigned v, int digits) {
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, v >>= 4)
        text[static_cast<std::size_t>(i)] = hexDigit(v);
    return text;
}

bool parseNumber(std::string_view text, double& out) {
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && p == text.data() + text.size() && std::isfinite(out);
}

bool parseCount(std::string_view text, int& out) {
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && p == text.data() + text.size();
}

} // namespace

std::optional<Faults> parseFaults(std::string_view list, std::string& error) {
    Faults f;
    while (!list.empty()) {
        const auto comma = list.find(',');
        std::string_view item = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
        while (!item.empty() && item.front() == ' ')
            item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ')
            item.remove_suffix(1);
        if (item.empty())
            continue;
        const auto eq = item.find('=');
        const std::string_view name = item.substr(0, eq);
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view{} : item.substr(eq + 1);
        const bool hasValue = eq != std::string_view::npos;
        const auto bad = [&](const char* expected) {
            error = "fault \"" + std::string(item) + "\": " + expected;
            return std::nullopt;
        };
        if (name == "never-wake" || name == "cut-reply") {
            if (hasValue)
                return bad("takes no value");
            (name == "never-wake" ? f.neverWake : f.cutReply) = true;
        } else if (name == "wake-late" || name == "slow-chars") {
            double v = 0;
            if (!hasValue || !parseNumber(value, v) || v < 0 || v > 3600)
                return bad(name == "wake-late" ? "expected wake-late=SECONDS"
                                               : "expected slow-chars=MILLISECONDS");
            (name == "wake-late" ? f.wakeLate : f.slowCharMs) = v;
        } else if (name == "miss-wake") {
            if (!hasValue || !parseCount(value, f.missWake) || f.missWake < 1)
                return bad("expected miss-wake=N with N >= 1");
        } else if (name == "download-stop") {
            if (!hasValue || !parseCount(value, f.downloadStop) || f.downloadStop < 0)
                return bad("expected download-stop=N with N >= 0");
        } else {
            return bad("unknown fault (known: never-wake, wake-late=SECONDS, miss-wake=N, slow-chars=MS, "
                       "cut-reply, download-stop=N)");
        }
    }
    return f;
}

std::string visible(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c == '\r')
            out += "<CR>";
        else if (c == '\n')
            out += "<LF>";
        else if (c >= 0x20 && c < 0x7F)
            out += static_cast<char>(c);
        else
            out += "<" + hexText(c, 2) + ">";
    }
    return out;
}

Instrument::Instrument(State state, Faults faults, int baud, bool paceInput)
    : state_(std::move(state)), faults_(faults), baud_(baud), paceInput_(paceInput && baud > 0) {}

double Instrument::charInterval() const {
    return (baud_ > 0 ? 10.0 / baud_ : 0.0) + faults_.slowCharMs / 1000.0;
}

void Instrument::receive(std::string_view bytes, double now) {
    const double arrived = now;
    for (char c : bytes) {
        if (paceInput_) {
            inputFree_ = std::max(inputFree_, arrived) + 10.0 / baud_;
            now = inputFree_;
        }
        if (c == wakeByte) {
            wakeUpByte(now);
        } else if (c == '\r') {
            lineEnd(now);
        } else if (c == '\n') {
            // Line feeds carry nothing; a terminal may add them after CR.
        } else if (pending_.size() < longestCommand) {
            pending_ += c;
        } else {
            overlong_ = true;
        }
    }
}

void Instrument::lineDropped(double now, std::size_t undelivered) {
    if (!out_.empty() || !pending_.empty() || undelivered > 0)
        log(now, "(line closed by the far end: unsent reply and unfinished command dropped)", "");
    out_.clear();
    pending_.clear();
    overlong_ = false;
    awake_ = false;
    wakePendingAt_.reset();
}

void Instrument::wakeUpByte(double now) {
    ++wakeBytes_;
    if (!pending_.empty()) {
        log(now, visible(pending_), "(no CR before the next wake-up byte: dropped)");
        pending_.clear();
        overlong_ = false;
    }
    if (faults_.neverWake) {
        log(now, "<80>", "(not answered: never-wake)");
        return;
    }
    if (faults_.missWake == wakeBytes_) {
        log(now, "<80>", "(not answered: miss-wake=" + std::to_string(wakeBytes_) + ")");
        return;
    }
    if (wakePendingAt_ && *wakePendingAt_ > now) {
        log(now, "<80>", "(the answer to the previous one is still on its way)");
        return;
    }
    awake_ = true;
    wakePendingAt_ = now + faults_.wakeLate;
    send("!", now, faults_.wakeLate);
    char late[48] = "";
    if (faults_.wakeLate > 0)
        std::snprintf(late, sizeof late, "  (%.3f s late: wake-late)", faults_.wakeLate);
    log(now, "<80>", std::string("-> !") + late);
}

void Instrument::lineEnd(double now) {
    if (pending_.empty()) {
        log(now, "<CR>", "(lone CR: ignored)");
        return;
    }
    const std::string text = std::move(pending_);
    pending_.clear();
    if (std::exchange(overlong_, false)) {
        log(now, visible(text) + "...<CR>", "(longer than any command: ignored)");
        awake_ = false;
        return;
    }
    command(text, now);
}

void Instrument::command(const std::string& text, double now) {
    const std::string what = visible(text) + "<CR>";
    if (!awake_) {
        log(now, what, "(ignored: not woken up)");
        return;
    }
    awake_ = false;
    std::string note;
    std::string reply = execute(text, now, note);
    if (faults_.cutReply && reply.find('\r') != std::string::npos) {
        reply.erase(reply.rfind('\r'));
        note += (note.empty() ? "" : ", ") + std::string("line end cut: cut-reply");
    }
    std::string outcome = reply.empty() ? "" : "-> " + visible(reply);
    if (!note.empty())
        outcome += (outcome.empty() ? "(" : "  (") + note + ")";
    if (!reply.empty())
        send(std::move(reply), now);
    log(now, what, outcome);
}

std::string Instrument::execute(const std::string& text, double now, std::string& note) {
    const char letter = text[0];
    const std::string_view rest = std::string_view(text).substr(1);
    const bool hex = isHex(rest);
    switch (letter) {
    case 'H':
        if (rest.empty())
            return clockText(now) + "\r";
        break;
    case 'I':
        if (rest.empty())
            return std::string(1, hexDigit(state_.registers[rateRegister])) + "\r";
        break;
    case 'B':
        if (hex && rest.size() <= 2)
            return registerLine(static_cast<int>(hexValue(rest) & 0xF0)) + "\r";
        break;
    case 'C':
        if (hex && rest.size() <= 6) {
            const unsigned address = hexValue(rest);
            if (address < memorySize)
                return memoryLine(static_cast<int>(address)) + "\r\n";
            note = "address out of range: no reply";
            return {};
        }
        break;
    case 'F':
        if (hex && rest.size() == 8)
            return download(static_cast<int>(hexValue(rest.substr(0, 4))),
                            static_cast<int>(hexValue(rest.substr(4))), note);
        break;
    case 'e':
    case 'c':
    case 'k':
    case 'a': {
        // e AAAA + up to 15 data bytes; c00AAAA + 1 byte; k00AAAA + 4 bytes; a AAA + 1 byte (stored
        // settings).
        std::size_t dataDigits = letter == 'c' || letter == 'a' ? 2 : 8;
        if (letter == 'e')
            dataDigits = rest.size() >= 4 ? rest.size() - 4 : 0;
        if (!hex || dataDigits == 0 || dataDigits % 2 != 0 || dataDigits > 30 || rest.size() <= dataDigits ||
            rest.size() - dataDigits > 6)
            break;
        const std::string_view addressText = rest.substr(0, rest.size() - dataDigits);
        const unsigned address = hexValue(addressText);
        const unsigned limit = letter == 'a' ? 0x1000 : memorySize;
        if (address >= limit) {
            note = "address out of range: ignored";
            return {};
        }
        const std::string_view data = rest.substr(addressText.size());
        std::size_t count = 0;
        for (; count * 2 < data.size() && address + count < limit; ++count)
            writeMemory(static_cast<int>(address + count),
                        static_cast<std::uint8_t>(hexValue(data.substr(count * 2, 2))));
        note = "memory " + hexText(address, 4) + " <- " + std::to_string(count) + " byte" +
               (count == 1 ? "" : "s");
        return {};
    }
    case 'b':
        if (hex && rest.size() == 4) {
            const unsigned reg = hexValue(rest.substr(0, 2));
            writeRegister(static_cast<int>(reg), static_cast<std::uint8_t>(hexValue(rest.substr(2))));
            note = "register " + hexText(reg, 2) + " <- " + std::string(rest.substr(2));
            return {};
        }
        if (hex || rest.empty()) {
            note = "register write without a value: ignored";
            return {};
        }
        break;
    case 'i':
        if (hex) {
            writeRegister(rateRegister, static_cast<std::uint8_t>(hexValue(rest.substr(0, 1))));
            note = "rate <- " + std::string(rest.substr(0, 1));
            return {};
        }
        break;
    case 'h': {
        // hYY-MM-DD HH:MM:SS
        const auto field = [&](std::size_t at, int& v) {
            return at + 2 <= rest.size() && std::isdigit(static_cast<unsigned char>(rest[at])) &&
                   std::isdigit(static_cast<unsigned char>(rest[at + 1])) &&
                   (v = (rest[at] - '0') * 10 + (rest[at + 1] - '0'), true);
        };
        CivilTime t{};
        const bool ok = rest.size() == 17 && rest[2] == '-' && rest[5] == '-' && rest[8] == ' ' &&
                        rest[11] == ':' && rest[14] == ':' && field(0, t.year) && field(3, t.month) &&
                        field(6, t.day) && field(9, t.hour) && field(12, t.minute) && field(15, t.second) &&
                        t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour < 24 &&
                        t.minute < 60 && t.second < 60;
        if (!ok) {
            note = "malformed clock setting: ignored";
            return {};
        }
        t.year += 2000;
        state_.clockOffset = secondsFromCivil(t) - static_cast<std::int64_t>(std::floor(now));
        changed_ = true;
        note = "clock set";
        return {};
    }
    default:
        break;
    }
    note = "unknown command: no reply";
    return {};
}

std::string Instrument::clockText(double now) const {
    const CivilTime t = civilFromSeconds(static_cast<std::int64_t>(std::floor(now)) + state_.clockOffset);
    return twoDigits(t.year) + "-" + twoDigits(t.month) + "-" + twoDigits(t.day) + " " + twoDigits(t.hour) +
           ":" + twoDigits(t.minute) + ":" + twoDigits(t.second);
}

std::string Instrument::registerLine(int address) const {
    return dumpLine(&state_.registers[address]);
}

std::string Instrument::memoryLine(int address) const {
    std::uint8_t bytes[16];
    for (int i = 0; i < 16; ++i)
        bytes[i] = state_.memory[(address + i) % memorySize];
    return dumpLine(bytes);
}

std::string Instrument::blockText(int number) const {
    if (number >= 1 && static_cast<std::size_t>(number) <= state_.blocks.size())
        return state_.blocks[static_cast<std::size_t>(number) - 1];
    return std::string(blockTextLength, 'F'); // never written since the logger was cleared
}

std::string Instrument::download(int first, int count, std::string& note) const {
    int sent = count;
    if (faults_.downloadStop >= 0 && faults_.downloadStop < count)
        sent = faults_.downloadStop;
    std::string reply;
    reply.reserve(static_cast<std::size_t>(sent) * (blockTextLength + 1));
    for (int i = 0; i < sent; ++i)
        reply += blockText((first + i) & 0xFFFF) + "\r";
    note = std::to_string(sent) + " block" + (sent == 1 ? "" : "s");
    if (sent < count)
        note += " of " + std::to_string(count) + ": download-stop";
    return reply;
}

void Instrument::writeRegister(int reg, std::uint8_t value) {
    state_.registers[static_cast<std::size_t>(reg)] = value;
    // The flow unit takes totaliser B through 0x45..0x47 but shows it with totaliser A in the 0x30 line.
    if (state_.kind == Kind::Quorvane && reg >= 0x45 && reg <= 0x47)
        state_.registers[static_cast<std::size_t>(reg - 0x0C)] = value;
    changed_ = true;
}

void Instrument::writeMemory(int address, std::uint8_t value) {
    state_.memory[static_cast<std::size_t>(address)] = value;
    changed_ = true;
}

void Instrument::send(std::string bytes, double now, double delay) {
    const double interval = charInterval();
    double start = now + delay;
    if (!out_.empty()) {
        const Segment& last = out_.back();
        start = std::max(start, last.start + static_cast<double>(last.bytes.size()) * last.interval);
    }
    out_.push_back({start, interval, std::move(bytes)});
}

std::optional<double> Instrument::nextDue() const {
    if (out_.empty())
        return std::nullopt;
    const Segment& s = out_.front();
    return s.start + static_cast<double>(s.sent + 1) * s.interval;
}

std::string Instrument::takeDue(double now) {
    constexpr double slack = 1e-9;
    std::string due;
    while (!out_.empty()) {
        Segment& s = out_.front();
        while (s.sent < s.bytes.size() &&
               s.start + static_cast<double>(s.sent + 1) * s.interval <= now + slack)
            due += s.bytes[s.sent++];
        if (s.sent < s.bytes.size())
            break;
        out_.pop_front();
    }
    return due;
}

std::vector<std::string> Instrument::takeTranscript() {
    return std::exchange(transcript_, {});
}

bool Instrument::takeStateChanged() {
    return std::exchange(changed_, false);
}

void Instrument::log(double now, const std::string& what, const std::string& outcome) {
    const double whole = std::floor(now);
    const CivilTime t = civilFromSeconds(static_cast<std::int64_t>(whole));
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second,
                  std::min(999, static_cast<int>((now - whole) * 1000)));
    transcript_.push_back(std::string(stamp) + "  " + what + (outcome.empty() ? "" : "  " + outcome));
}

} // namespace sim
