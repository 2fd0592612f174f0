// The instrument emulator's protocol core: the state of one instrument and what it does with the bytes it
// receives. No I/O and no real clock: the caller passes the time with every call and collects the bytes
// that are due, so the whole protocol can be driven in virtual time.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class Kind { Lumatrix, Quorvane };

std::string_view kindName(Kind kind); // "lumatrix" / "quorvane"
std::optional<Kind> kindFromName(std::string_view name);

// Misbehaviour on request, so the program's failure paths can be tried against a live line.
struct Faults {
    bool neverWake = false;  // never answer a wake-up byte
    double wakeLate = 0.0;   // answer every wake-up byte this many seconds late
    int missWake = 0;        // ignore the Nth wake-up byte (1-based; 0 = none)
    double slowCharMs = 0.0; // extra delay before every character sent
    bool cutReply = false;   // replies lose their line end (CR and what follows)
    int downloadStop = -1;   // a download sends at most this many blocks (-1 = all)
};

// Parses "never-wake,wake-late=0.3,miss-wake=2,slow-chars=5,cut-reply,download-stop=10".
// Returns nothing and fills `error` when an item is unknown or its value is bad.
std::optional<Faults> parseFaults(std::string_view list, std::string& error);

constexpr std::size_t memorySize = 0x4000;
constexpr int blockTextLength = 32;

struct State {
    Kind kind = Kind::Lumatrix;
    std::array<std::uint8_t, memorySize> memory{}; // scales, stored settings, conversion data, table
    std::array<std::uint8_t, 256> registers{};     // one-byte registers read by "B" and set by "b"
    std::int64_t clockOffset = 0;                  // instrument clock minus host clock, seconds
    std::vector<std::string> blocks;               // logged blocks; blocks[n - 1] is block n (32 chars)
};

// A plausible instrument as shipped and used for a while: factory and own scales, presets, recording
// settings and a few hundred logged blocks ending just before `now` (seconds of local time since 1970).
State defaultState(Kind kind, double now);

// Plain text, one item per line; see saveState for the format.
std::string saveState(const State& state);
std::optional<State> loadState(std::string_view text, std::string& error);

// Local time in seconds since 1970 broken into fields (no time zone: the caller passes local seconds).
struct CivilTime {
    int year, month, day, hour, minute, second;
};
CivilTime civilFromSeconds(std::int64_t seconds);
std::int64_t secondsFromCivil(const CivilTime& t);

// Sixteen bytes as the instrument dumps them: "XX " sixteen times (48 characters).
std::string dumpLine(const std::uint8_t* bytes);

class Instrument {
public:
    // paceInput: the bytes received take their line time at `baud` as well, so a wake-up byte is
    // answered only after it (and everything written before it) has crossed the line.
    Instrument(State state, Faults faults = {}, int baud = 0, bool paceInput = false);

    // Bytes arriving from the program at time `now` (seconds; local time since 1970 in the real program).
    void receive(std::string_view bytes, double now);
    // The program's side of the line was closed: whatever is still being sent is lost. `undelivered` is
    // what the caller had taken but could not pass on, for the transcript.
    void lineDropped(double now, std::size_t undelivered = 0);

    // Time at which the next byte is due, if any is waiting.
    std::optional<double> nextDue() const;
    // All bytes due at or before `now`, in order.
    std::string takeDue(double now);

    // Transcript lines produced since the last call (without line ends).
    std::vector<std::string> takeTranscript();
    // True once after every change of the state (a write that a save should keep).
    bool takeStateChanged();

    const State& state() const { return state_; }
    // The instrument's clock at `now`, as the "H" query shows it.
    std::string clockText(double now) const;

private:
    struct Segment {
        double start;    // time of the first character's start
        double interval; // time per character
        std::string bytes;
        std::size_t sent = 0;
    };

    void wakeUpByte(double now);
    void lineEnd(double now);
    void command(const std::string& text, double now);
    // Returns the reply (empty = none) and a note for the transcript when the command had no effect.
    std::string execute(const std::string& text, double now, std::string& note);
    std::string registerLine(int address) const;
    std::string memoryLine(int address) const;
    std::string download(int first, int count, std::string& note) const;
    std::string blockText(int number) const;
    void writeRegister(int reg, std::uint8_t value);
    void writeMemory(int address, std::uint8_t value);
    void send(std::string bytes, double now, double delay = 0.0);
    void log(double now, const std::string& what, const std::string& outcome);
    double charInterval() const;

    State state_;
    Faults faults_;
    int baud_;
    bool paceInput_ = false;
    double inputFree_ = 0.0; // when the line from the program is free again (paceInput)
    std::string pending_;   // command being collected
    bool overlong_ = false; // the command being collected outgrew any real one
    bool awake_ = false;
    int wakeBytes_ = 0;
    std::optional<double> wakePendingAt_; // a late "!" is on its way
    std::deque<Segment> out_;
    std::vector<std::string> transcript_;
    bool changed_ = false;
};

// How the transcript shows bytes: printable ASCII as is, CR as <CR>, LF as <LF>, others as <hh>.
std::string visible(std::string_view bytes);

} // namespace sim
