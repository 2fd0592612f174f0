#pragma once

#include "link/OperationUi.h"
#include "link/Port.h"

#include <functional>
#include <string>
#include <string_view>

namespace devlink {

class Clock;

inline constexpr char wakeUpByte = '\x80';
inline constexpr char awakeAnswer = '!';
inline constexpr char carriageReturn = '\r';

inline constexpr const char* lumatrixNotConnected = "Lumatrix not connected!";
inline constexpr const char* quorvaneNotConnected = "Quorvane not connected!";
inline constexpr const char* connectionErrorTitle = "Connection error";

// How an exchange (or one of its reading steps) ended.
enum class Outcome {
    Replied,      // the reply ended with CR (buffered reads: characters arrived in time)
    TimedOut,     // the instrument fell silent first; text keeps what arrived (buffered: empty)
    NotConnected, // no "!" to any wake-up byte, or the port would not open: the "not connected!"
                  // message was shown, the port is closed, no command was sent
    Busy,         // refused: the link was already in the middle of an exchange
    Garbled,      // a fixed-length record was not followed by its CR (text holds the extra character)
};

// What callers test instead of a global: the outcome and the reply text (CR excluded).
struct Reply {
    Outcome outcome = Outcome::Busy;
    std::string text;
    // Wake-up bytes sent without a "!" in time (each followed by a lone CR where the exchange
    // sends one). Readers that tolerate one unanswered byte over many exchanges add these up.
    int unansweredWakeUps = 0;
    // The device failed during the exchange and the port was closed by us (the outcome is then
    // what a silent instrument would have given).
    bool portLost = false;
    // How opening the port ended; not Opened only when the exchange ended as NotConnected
    // because of it.
    OpenStatus openStatus = OpenStatus::Opened;

    // The instrument answered the wake-up and the command went out.
    bool woke() const { return outcome == Outcome::Replied || outcome == Outcome::TimedOut; }
    // The case callers test to abandon an operation (what an OK answer to the box meant).
    bool notConnected() const { return outcome == Outcome::NotConnected; }
    bool refused() const { return outcome == Outcome::Busy; }
};

// One full exchange: open the port, wake the instrument, send `command` & CR, collect the reply,
// close the port. Fill it with designated initialisers, e.g.
//     link.exchange({.command = "B02", .wakeUpLimit = 0.2, .replyLimit = 1.0});
struct Exchange {
    std::string command;               // without the CR
    double wakeUpLimit = 1.0;          // a try fails when more than this has passed
    int wakeUpTries = 2;               // wake-up bytes to send at most
    double replyLimit = 2.0;           // per character (buffered: for the first one)
    bool loneCrAfterUnanswered = true; // send a lone CR after each unanswered byte
    std::string notConnectedMessage = lumatrixNotConnected;
    bool closeSettingProgressOnFailure = false; // read-out unit routines other than the clock

    // The exchanges the device operations run, with their limits.
    // Clock query "H" (both instruments; the message names the routine's instrument).
    static Exchange clockQuery(std::string notConnectedMessage = lumatrixNotConnected);
    // Read-out unit register queries "B00", "B02", "B10".
    static Exchange registerQuery(std::string command);
    // Memory reads "C00"..., for exchangeBuffered(). The read-out unit's close the setting
    // progress window on failure; pass quorvaneNotConnected for the flow unit's.
    static Exchange memoryRead(std::string command, std::string notConnectedMessage = lumatrixNotConnected);
    // The preset query "B10" closing a configuration read: one wake-up byte, no lone CR.
    static Exchange presetQuery(std::string notConnectedMessage = lumatrixNotConnected);
};

// Limits of the exchanges, in seconds.
namespace limits {
inline constexpr double clockWakeUp = 1.0; // clock query "H"
inline constexpr double clockReply = 2.0;
inline constexpr double registerWakeUp = 0.2; // "B00", "B02", "B10" of the read-out unit
inline constexpr double registerReply = 1.0;
inline constexpr double memoryWakeUp = 1.0; // memory reads, flow-unit reads, WakeUp, preset query
inline constexpr double memoryReply = 2.0;
} // namespace limits

// Outcome of a wake-up step.
enum class Wake { Awake, NotConnected, Busy };

// Unanswered wake-up bytes counted over a whole call of several writes: the call ends at the
// second one, wherever it falls, instead of each write getting two tries of its own.
struct WakeBudget {
    static constexpr int allowed = 2;
    int unanswered = 0;
};

// One command written after its own wake-up. Fill it with designated initialisers, e.g.
//     link.write({.command = "b0300", .settle = 0.1, .keepOpen = true});
struct Write {
    std::string command; // without the CR
    std::string notConnectedMessage = lumatrixNotConnected;
    double settle = 0.0;   // after the command, wait (yielding) until more than this has passed
    bool keepOpen = false; // leave the port open for the next write of the same call
    bool closeSettingProgressOnFailure = false;
    bool closeSetTypeOnFailure = false; // the wait window goes before the box, as on a read's failure
    WakeBudget* budget = nullptr; // shared over a call; none: this write alone has two tries
};

// How a write ended.
enum class Written {
    Sent,         // the instrument woke and the command went out (no reply is read)
    NotConnected, // the wake-up budget ran out or the port would not open: the one message was
                  // shown, the port is closed, the command was not sent
    Busy,         // refused: another exchange was running
};

// The serial link to one instrument: every conversation goes through here, one at a time.
//
// Waits yield to the event loop (through the Clock), so a click handler may run while an
// exchange waits. An exchange or step started then is refused (Outcome::Busy / Wake::Busy, a
// warning in the log) instead of interleaving its bytes with the running one.
//
// The port is closed when an exchange ends on every path; wakeUp() leaves it open when the
// instrument answered, and the caller closes it after reading the reply.
class Link {
public:
    // A link with a port number of its own (tests, tools).
    Link(Port& port, Clock& clock, OperationUi& ui, int portNumber = 1);
    // A link that asks for the port number whenever it opens the port, so that the one place
    // that owns the user's choice is the only one.
    Link(Port& port, Clock& clock, OperationUi& ui, std::function<int()> portNumber);

    int portNumber() const { return portNumberSource_ ? portNumberSource_() : portNumber_; }
    // Only for a link with a port number of its own.
    void setPortNumber(int portNumber) { portNumber_ = portNumber; }
    Port& port() { return port_; }
    Clock& clock() { return clock_; }
    OperationUi& ui() { return ui_; }

    // True while the link waits inside an exchange or step (the event loop may be running).
    bool inProgress() const { return waiting_; }

    // ---- Whole exchanges ------------------------------------------------------------------

    // Wake-up (with a lone CR after each unanswered byte), command & CR, reply character by
    // character to CR with the limit per character. On a failed wake-up the one message box.
    Reply exchange(const Exchange& request);

    // The memory-read variant: after the command, pauseTwoTicks(), then wait at most
    // replyLimit for the first character and take the whole buffer at once.
    Reply exchangeBuffered(const Exchange& request);

    // The flow unit's factored wake-up: opens the port if closed, one wake-up byte (stale input
    // dropped first), 1 s for the "!", no lone CR. On failure shows `notConnectedMessage` and
    // closes the port. On success the port stays open for the caller's command and reply.
    Wake wakeUp(const std::string& notConnectedMessage = quorvaneNotConnected);

    // Lets the event loop run until the seconds of the time of day have changed twice: between
    // one and two seconds, ending just after a change of the seconds.
    void pauseTwoTicks();

    // The operation frames of the main window.
    void lockPanels();
    void unlockPanels();
    // Locks for its lifetime, so every way out unlocks.
    class PanelLock {
    public:
        explicit PanelLock(Link& link) : link_(link) { link_.lockPanels(); }
        ~PanelLock() { link_.unlockPanels(); }
        PanelLock(const PanelLock&) = delete;
        PanelLock& operator=(const PanelLock&) = delete;

    private:
        Link& link_;
    };

    // ---- Writes ----------------------------------------------------------------------------

    // The full-wake write: opens the port if it is closed, wakes the instrument (0x80, more than
    // 1 s without "!" fails a try, a lone CR after each unanswered byte, tries until the budget is
    // spent), sends the command & CR, waits `settle`, and unless keepOpen drains and closes.
    // On failure: the one "not connected!" box, the port closed, nothing sent.
    Written write(const Write& request);

    // The flow unit's form: wakeUp() (one byte, 1 s, no lone CR), then the command & CR. The port
    // stays open for the caller (close it with closePort()). Never sends after a failed wake-up.
    Written wakeUpWrite(const std::string& command, const std::string& notConnectedMessage = quorvaneNotConnected);

    // Yields to the event loop until more than `seconds` have passed.
    void wait(double seconds);

    // One fixed-length record: exactly `length` characters (a CR among them is data), then CR.
    // Replied with the record; TimedOut when the line stays silent for more than
    // `silenceLimit` seconds (text keeps what arrived); Garbled when the character after the
    // record is not CR (text holds length + 1 characters).
    Reply readRecord(std::size_t length, double silenceLimit);

    // ---- Steps, for routines that compose their own exchange -----------------------------

    // Closes the port if open, then opens port portNumber().
    OpenStatus openPort();
    // Opens the port if it is closed.
    OpenStatus ensureOpen();
    // Drains what was written to the device, then closes.
    void closePort();
    bool isOpen() const { return port_.isOpen(); }

    struct WakeTries {
        bool awake = false;
        int unanswered = 0;
        bool portLost = false;
        bool refused = false;
    };
    // Up to `tries` wake-up bytes on the open port, each after dropping stale input; a try fails
    // when more than `limit` seconds pass without "!". No message box (see notConnected()).
    WakeTries wakeUpTries(double limit, int tries, bool loneCrAfterUnanswered);

    // The one "not connected!" box (title "Connection error", exclamation, OK), after closing
    // the setting progress window if asked; then closes the port.
    void notConnected(const std::string& message, bool closeSettingProgress = false);

    // Writes `command` & CR as one piece. False when nothing was written (port not open, or
    // refused during another exchange).
    bool send(std::string_view command);
    // Writes the bytes as they are (no CR added).
    bool sendRaw(std::string_view bytes);

    // Reply character by character until CR; the limit applies to each character separately.
    // Replied when the CR came, TimedOut otherwise (text keeps what arrived).
    Reply readLineToCr(double perCharacterLimit);

    // Waits at most `limit` seconds until at least `atLeast` characters are waiting, then takes
    // the whole buffer (Replied). On time-out takes nothing: TimedOut with empty text.
    Reply readBuffer(double limit, int atLeast = 1);

    // pauseTwoTicks(), then readBuffer(firstCharacterLimit).
    Reply readBufferAfterPause(double firstCharacterLimit);

private:
    class WaitGuard;
    bool refuse(const char* what) const;
    // Runs work() marked busy, or returns `refused` when another exchange is running.
    template <typename Result, typename Work> Result guarded(const char* what, Result refused, Work&& work);
    void closeImpl();
    void waitImpl(double seconds);
    double now();
    void yieldFor(double seconds);
    WakeTries wakeUpTriesImpl(double limit, int tries, bool loneCr);
    void notConnectedImpl(const std::string& message, bool closeSettingProgress);
    // Waits until a character is waiting, at most `limit` seconds after `start`. False when the time
    // ran out or the device was lost (then reply.portLost is set and the port closed).
    bool awaitCharacter(double start, double limit, Reply& reply);
    Reply readLineImpl(double perCharacterLimit);
    Reply readBufferImpl(double limit, int atLeast);
    void pauseImpl();
    Reply runExchange(const Exchange& request, bool buffered);

    Port& port_;
    Clock& clock_;
    OperationUi& ui_;
    int portNumber_ = 1;
    std::function<int()> portNumberSource_;
    bool waiting_ = false;
};

} // namespace devlink
