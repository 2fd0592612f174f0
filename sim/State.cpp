// The instrument's state: what it holds when it comes out of the box, and the text form it is saved in.
#include "SimCore.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace sim {

namespace {

constexpr std::uint8_t erased = 0xFF;

struct ScaleSlot {
    int dp;
    int start; // signed, in units of the last digit
    int end;
    const char* label;
    const char* unit;
};

// The scale of gain slot 1 of each range, which no user setting replaces.
constexpr ScaleSlot factoryScales[6] = {
    {3, -5000, 5000, "    ", "V   "},   {3, -2000, 2000, "    ", "V   "},
    {2, -20000, 20000, "    ", "mV  "}, {3, -20000, 20000, "    ", "mV  "},
    {4, -20000, 20000, "    ", "mV/V"}, {3, 0, 20000, "    ", "mA  "},
};

int slotAddress(int range, int gain) {
    return 0x2000 + (range - 1) * 0x80 + (gain - 1) * 0x10;
}

void putScale(State& s, int address, const ScaleSlot& scale) {
    auto* p = &s.memory[address];
    const auto putSigned = [](std::uint8_t* at, int value) {
        at[0] = value < 0 ? 0x2D : 0x2B;
        const int magnitude = std::abs(value);
        at[1] = static_cast<std::uint8_t>(magnitude >> 8);
        at[2] = static_cast<std::uint8_t>(magnitude & 0xFF);
    };
    p[0] = static_cast<std::uint8_t>(scale.dp);
    putSigned(p + 1, scale.start);
    putSigned(p + 4, scale.end);
    for (int i = 0; i < 4; ++i) {
        p[7 + i] = static_cast<std::uint8_t>(scale.label[i]);
        p[11 + i] = static_cast<std::uint8_t>(scale.unit[i]);
    }
    p[15] = 0x00;
}

void putText(State& s, int address, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        s.memory[address + i] = static_cast<std::uint8_t>(text[i]);
}

void putBytes(std::uint8_t* at, std::initializer_list<int> bytes) {
    for (int b : bytes)
        *at++ = static_cast<std::uint8_t>(b);
}

// Every slot of the table: the factory scale in slot 1, the numbered general-purpose scales elsewhere.
void putScaleTable(State& s) {
    for (int range = 1; range <= 6; ++range) {
        const ScaleSlot& factory = factoryScales[range - 1];
        putScale(s, slotAddress(range, 1), factory);
        for (int gain = 2; gain <= 8; ++gain) {
            char label[5];
            std::snprintf(label, sizeof label, "GN %d", gain);
            putScale(s, slotAddress(range, gain),
                     {factory.dp, factory.start, factory.end, label, factory.unit});
        }
    }
}

std::string twoDigits(int v) {
    v = (v % 100 + 100) % 100;
    return {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return std::string(text).substr(std::string(text).size() - digits);
}

std::string blockTime(std::int64_t seconds) {
    const CivilTime t = civilFromSeconds(seconds);
    return twoDigits(t.second) + twoDigits(t.minute) + twoDigits(t.hour) + twoDigits(t.day) +
           twoDigits(t.month) + twoDigits(t.year);
}

// A few hundred samples of slowly varying signals, so a download has something to show.
void putLog(State& s, double now, int interval) {
    constexpr int count = 300;
    const double pi = std::acos(-1.0);
    const std::int64_t last = (static_cast<std::int64_t>(std::floor(now)) / interval) * interval;
    for (int n = 1; n <= count; ++n) {
        const std::string stamp = blockTime(last - static_cast<std::int64_t>(count - n) * interval);
        std::string block;
        if (s.kind == Kind::Lumatrix) {
            // Channel A a temperature in tenths (-73.0 .. +73.0), channel B a pressure in hundredths.
            const int a = static_cast<int>(
                std::lround(650 * std::sin(2 * pi * n / 120) + 80 * std::sin(2 * pi * n / 17)));
            const int b = static_cast<int>(std::lround(450 * std::sin(2 * pi * n / 60 + 1) + 300));
            block = stamp + (a < 0 ? "2D" : "2B") + hex(static_cast<unsigned>(std::abs(a)), 6) + "00" +
                    (b < 0 ? "2D" : "2B") + hex(static_cast<unsigned>(std::abs(b)), 6) + "00";
        } else {
            const int a = static_cast<int>(std::lround(500 + 450 * std::sin(2 * pi * n / 90)));
            const int b = static_cast<int>(std::lround(60000 + 45000 * std::cos(2 * pi * n / 150)));
            block = stamp + "2B" + hex(static_cast<unsigned>(a), 6) + "00" +
                    hex(static_cast<unsigned>(b), 6) + "0000";
        }
        s.blocks.push_back(block);
    }
}

bool parseHexByte(std::string_view text, std::uint8_t& out) {
    unsigned v = 0;
    if (text.size() != 2)
        return false;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v, 16);
    if (ec != std::errc() || p != text.data() + text.size())
        return false;
    out = static_cast<std::uint8_t>(v);
    return true;
}

// Reads "ADDR b0 b1 ... b15" into 16 bytes; the address must be a multiple of 16 below `limit`.
bool parseLine(std::istringstream& in, int limit, int& address, std::array<std::uint8_t, 16>& bytes) {
    std::string word;
    if (!(in >> word))
        return false;
    unsigned a = 0;
    auto [p, ec] = std::from_chars(word.data(), word.data() + word.size(), a, 16);
    if (ec != std::errc() || p != word.data() + word.size() || a % 16 != 0 || static_cast<int>(a) >= limit)
        return false;
    address = static_cast<int>(a);
    for (auto& b : bytes) {
        if (!(in >> word) || !parseHexByte(word, b))
            return false;
    }
    return !(in >> word);
}

} // namespace

std::string_view kindName(Kind kind) {
    return kind == Kind::Lumatrix ? "lumatrix" : "quorvane";
}

std::optional<Kind> kindFromName(std::string_view name) {
    if (name == "lumatrix")
        return Kind::Lumatrix;
    if (name == "quorvane")
        return Kind::Quorvane;
    return std::nullopt;
}

// Days from 1970-01-01 for a proleptic Gregorian date, and back.
static std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilTime civilFromSeconds(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const std::int64_t y = yoe + era * 400 + (m <= 2);
    return {static_cast<int>(y),        m, d, static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
            static_cast<int>(rest % 60)};
}

std::int64_t secondsFromCivil(const CivilTime& t) {
    return daysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

State defaultState(Kind kind, double now) {
    State s;
    s.kind = kind;
    s.memory.fill(erased);
    std::fill(s.memory.begin(), s.memory.begin() + 0x100, 0x00); // stored settings in use
    putScaleTable(s);
    auto& r = s.registers;
    if (kind == Kind::Lumatrix) {
        putScale(s, slotAddress(1, 2), {1, -1000, 1000, "TEMP", "degC"});
        putScale(s, slotAddress(1, 3), {0, 0, 1000, "FLOW", "l/h "});
        putScale(s, slotAddress(3, 2), {2, -100, 1000, "PRES", "bar "});
        putScale(s, slotAddress(5, 2), {1, 0, 5000, "LOAD", "kg  "});
        putScale(s, slotAddress(6, 2), {2, 0, 500, "LEVL", "m   "});
        // Open to every range, next block 301, rate 1 min, recording A and B.
        putBytes(&r[0x00], {0x00, 0x00, 0x00, 0x01, 0x2D, 0x03, 0x12});
        // P1 = TEMP, P2 = PRES, P3 = LOAD, P4 unassigned; channel A records P1, channel B P2.
        putBytes(&r[0x10], {0x00, 0x01, 0x02, 0x01, 0x04, 0x01, 0x0F, 0x0F, 0x00, 0x01, 0x02, 0x01});
        putBytes(&s.memory[0x0B4], {0x01, 0x2D});
        putLog(s, now, 60);
    } else {
        putScale(s, 0x2290, {0, 0, 1000, "LEVL", " mm "});
        putScale(s, 0x22A0, {1, 0, 2500, "PRES", "mbar"});
        putBytes(&r[0x03], {0x01, 0x2D, 0x02}); // next block 301, rate 30 s
        putBytes(&r[0x10], {0x05, 0x01, 0x05, 0x02, 0x0F, 0x0F, 0x0F, 0x0F, 0x05, 0x01, 0x05, 0x02});
        // Totalisers: A = +123456, B = +12345 (B is written through registers 0x45..0x47).
        putBytes(&r[0x34], {0x2B, 0x01, 0xE2, 0x40, 0x2B, 0x00, 0x30, 0x39});
        putBytes(&r[0x44], {0x2B, 0x00, 0x30, 0x39});
        // Conversion data: flow DP 1, "l/s ", factor 1, offset A +12 (stored with the sign reversed),
        // offset B 0, totaliser factors 3600 and 1, totaliser DPs 0 and 2, units " m3 " and " l  ".
        putBytes(&s.memory[0x3FA0], {0x00, 0x00, 0x00, 0x00, 0x01});
        putText(s, 0x3FA5, "l/s ");
        putBytes(&s.memory[0x3FA9], {0x01, 0x2D, 0x00, 0x00, 0x0C, 0x2D, 0x00, 0x00, 0x00, 0x2B, 0x00, 0x0E,
                                     0x10, 0x2B, 0x00, 0x00, 0x01, 0x00, 0x02});
        putText(s, 0x3FBC, " m3  l  ");
        std::fill(s.memory.begin() + 0x3FC4, s.memory.begin() + 0x3FD0, 0x00);
        // The formula 0.5*x+12 and its table at one decimal: point t = 5t + 120.
        std::string formula = "0.5*x+12";
        formula.resize(48, ' ');
        putText(s, 0x3FD0, formula);
        for (int t = 0; t < 1000; ++t) {
            const int v = 5 * t + 120;
            putBytes(&s.memory[0x3000 + 4 * t], {0x2B, (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF});
        }
        putLog(s, now, 30);
    }
    return s;
}

// Format (one item per line, "#" starts a comment that runs to the end of the line):
//   kind lumatrix|quorvane
//   clock-offset SECONDS          instrument clock minus host clock
//   reg RR b0 .. b15              16 registers from RR (hex), all 16 lines
//   mem AAAA b0 .. b15            16 memory bytes from AAAA (hex); lines not listed are erased (FF)
//   block N TEXT                  logged block N (decimal) as its 32 characters
std::string saveState(const State& state) {
    const auto row = [](const std::uint8_t* bytes) {
        std::string line = dumpLine(bytes);
        line.back() = '\n'; // the separator after the last byte
        return line;
    };
    std::string out = "# instrument-sim state\n";
    out += "kind " + std::string(kindName(state.kind)) + "\n";
    out += "clock-offset " + std::to_string(state.clockOffset) + "\n";
    for (int a = 0; a < 256; a += 16)
        out += "reg " + hex(static_cast<unsigned>(a), 2) + " " + row(&state.registers[a]);
    for (int a = 0; a < static_cast<int>(memorySize); a += 16) {
        const auto* p = &state.memory[a];
        if (std::all_of(p, p + 16, [](std::uint8_t b) { return b == erased; }))
            continue;
        out += "mem " + hex(static_cast<unsigned>(a), 4) + " " + row(p);
    }
    for (std::size_t n = 0; n < state.blocks.size(); ++n)
        out += "block " + std::to_string(n + 1) + " " + state.blocks[n] + "\n";
    return out;
}

std::optional<State> loadState(std::string_view text, std::string& error) {
    State s;
    s.memory.fill(erased);
    bool haveKind = false;
    std::istringstream lines{std::string(text)};
    std::string line;
    int number = 0;
    const auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(number) + ": " + why;
        return std::nullopt;
    };
    while (std::getline(lines, line)) {
        ++number;
        line = line.substr(0, line.find_first_of("#\r"));
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        std::istringstream in(line);
        std::string key;
        in >> key;
        if (key == "kind") {
            std::string name;
            in >> name;
            const auto kind = kindFromName(name);
            if (!kind)
                return fail("unknown kind \"" + name + "\"");
            s.kind = *kind;
            haveKind = true;
        } else if (key == "clock-offset") {
            long long v = 0;
            if (!(in >> v))
                return fail("clock-offset needs a number of seconds");
            s.clockOffset = v;
        } else if (key == "reg" || key == "mem") {
            int address = 0;
            std::array<std::uint8_t, 16> bytes{};
            const bool reg = key == "reg";
            if (!parseLine(in, reg ? 256 : static_cast<int>(memorySize), address, bytes))
                return fail("expected \"" + key + " ADDRESS\" and 16 hex bytes");
            std::copy(bytes.begin(), bytes.end(), (reg ? s.registers.data() : s.memory.data()) + address);
        } else if (key == "block") {
            long n = 0;
            std::string body, extra;
            if (!(in >> n >> body) || (in >> extra) || n < 1 || n > 0xFFFF ||
                body.size() != static_cast<std::size_t>(blockTextLength))
                return fail("expected \"block N\" and the block's 32 characters");
            if (s.blocks.size() < static_cast<std::size_t>(n))
                s.blocks.resize(static_cast<std::size_t>(n), std::string(blockTextLength, 'F'));
            s.blocks[static_cast<std::size_t>(n) - 1] = body;
        } else {
            return fail("unknown item \"" + key + "\"");
        }
    }
    if (!haveKind) {
        error = "no \"kind\" line";
        return std::nullopt;
    }
    return s;
}

std::string dumpLine(const std::uint8_t* bytes) {
    std::string line;
    line.reserve(48);
    for (int i = 0; i < 16; ++i)
        line += hex(bytes[i], 2) + " ";
    return line;
}

} // namespace sim
