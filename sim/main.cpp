// instrument-sim: plays a Lumatrix or Quorvane on a pseudo-terminal so the program can be tried and tested
// without an instrument. This file owns the terminal, the clock and the files; the protocol is SimCore.
#include "SimCore.h"

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr const char* program = "instrument-sim";

constexpr const char* helpText =
    R"(Usage: instrument-sim --kind lumatrix|quorvane --link PATH [options]

Plays a Lumatrix read-out unit or a Quorvane flow unit on a pseudo-terminal, so the
Instrument Manager can be tried without an instrument. PATH becomes a symbolic link to the
terminal; point the program's port at it with the printed SERIAL_COM<n> setting.

Options:
  --kind KIND          lumatrix or quorvane (required)
  --link PATH          symbolic link to create for the terminal (required; an old link there
                       is replaced, any other file is refused)
  --com N              port number the printed setting names (default 1 for lumatrix,
                       2 for quorvane)
  --state FILE         load the instrument's memory, registers, clock and log from FILE at
                       start (FILE is created when missing) and save them after every write
                       and on exit
  --transcript FILE    write every wake-up byte, lone CR and command with its time and the
                       reply sent
  --baud N             pace the output as a line at N baud would (9600: about 1.04 ms per
                       character); default: no pacing
  --pace-input         with --baud, the program's bytes take their line time too: the
                       instrument sees each one when it would have finished arriving
  --faults LIST        comma-separated misbehaviour:
                         never-wake          never answer the wake-up byte
                         wake-late=SECONDS   answer every wake-up byte this late
                         miss-wake=N         ignore the Nth wake-up byte
                         slow-chars=MS       send every character MS milliseconds apart
                         cut-reply           replies end without their CR
                         download-stop=N     a download stops after N blocks
  -h, --help           show this help

Example:
  instrument-sim --kind lumatrix --link /tmp/lumatrix --transcript /tmp/lumatrix.log
  export SERIAL_COM1=/tmp/lumatrix

Stop it with Ctrl-C (or SIGTERM); the link is removed and the state saved.
)";

volatile std::sig_atomic_t stopSignal = 0;

void onSignal(int sig) {
    stopSignal = sig;
}

struct Options {
    std::string kind, link, transcript, state, faults;
    int baud = 0;
    int com = 0;
    bool paceInput = false;
};

[[noreturn]] void usageError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program, message.c_str(), program);
    std::exit(2);
}

[[noreturn]] void fatal(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    std::exit(1);
}

int parseInt(const std::string& option, const std::string& text, int low, int high) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < low || v > high)
        usageError(option + " expects a whole number from " + std::to_string(low) + " to " +
                   std::to_string(high) + ", not \"" + text + "\"");
    return static_cast<int>(v);
}

Options parseArguments(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(helpText, stdout);
            std::exit(0);
        }
        if (arg == "--pace-input") {
            o.paceInput = true;
            continue;
        }
        std::string value;
        bool inlineValue = false;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            inlineValue = true;
        }
        std::string* target = nullptr;
        if (arg == "--kind")
            target = &o.kind;
        else if (arg == "--link")
            target = &o.link;
        else if (arg == "--transcript")
            target = &o.transcript;
        else if (arg == "--state")
            target = &o.state;
        else if (arg == "--faults")
            target = &o.faults;
        else if (arg != "--baud" && arg != "--com")
            usageError("unknown option \"" + arg + "\"");
        if (!inlineValue) {
            if (i + 1 >= argc)
                usageError(arg + " needs a value");
            value = argv[++i];
        }
        if (target)
            *target = value;
        else if (arg == "--baud")
            o.baud = parseInt(arg, value, 50, 4000000);
        else
            o.com = parseInt(arg, value, 1, 255);
    }
    if (o.kind.empty())
        usageError("--kind lumatrix|quorvane is required");
    if (o.link.empty())
        usageError("--link PATH is required");
    return o;
}

// Local time of day as seconds since 1970, on a clock that never jumps while the emulator runs.
class LocalClock {
public:
    LocalClock() {
        timespec real{}, mono{};
        clock_gettime(CLOCK_REALTIME, &real);
        clock_gettime(CLOCK_MONOTONIC, &mono);
        tm local{};
        localtime_r(&real.tv_sec, &local);
        base_ = seconds(real) + static_cast<double>(local.tm_gmtoff) - seconds(mono);
    }
    double now() const {
        timespec mono{};
        clock_gettime(CLOCK_MONOTONIC, &mono);
        return base_ + seconds(mono);
    }

private:
    static double seconds(const timespec& t) { return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9; }
    double base_ = 0;
};

bool readFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

// Written beside the file and renamed over it, so a crash never leaves half a state.
bool writeFileAtomically(const std::string& path, const std::string& text, std::string& error) {
    const std::string temporary = path + ".tmp";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

std::string absolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/')
        return path;
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd))
        return path;
    return std::string(cwd) + "/" + path;
}

// Raw 9600 8N1 on the terminal side, so CR, LF and 0x80 pass unchanged and nothing is echoed.
void makeRaw(const char* slaveName) {
    const int fd = open(slaveName, O_RDWR | O_NOCTTY);
    if (fd < 0)
        fatal(std::string("cannot open ") + slaveName + ": " + std::strerror(errno));
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        tcsetattr(fd, TCSANOW, &t);
    }
    close(fd);
}

void createLink(const std::string& link, const std::string& target) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
        fatal("cannot use " + link + " as the link: it exists and is not a symbolic link");
    const std::string temporary = link + ".new" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0)
        fatal("cannot create the link " + link + ": " + std::strerror(errno));
    if (rename(temporary.c_str(), link.c_str()) != 0) {
        const int saved = errno;
        unlink(temporary.c_str());
        fatal("cannot create the link " + link + ": " + std::strerror(saved));
    }
}

void removeLink(const std::string& link, const std::string& target) {
    char buffer[4096];
    const ssize_t n = readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (n >= 0 && std::string(buffer, static_cast<std::size_t>(n)) == target)
        unlink(link.c_str());
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parseArguments(argc, argv);
    const auto kind = sim::kindFromName(options.kind);
    if (!kind)
        usageError("unknown kind \"" + options.kind + "\" (expected lumatrix or quorvane)");
    std::string error;
    const auto faults = sim::parseFaults(options.faults, error);
    if (!faults)
        usageError(error);
    const int com = options.com ? options.com : (*kind == sim::Kind::Lumatrix ? 1 : 2);

    const LocalClock clock;
    sim::State state = sim::defaultState(*kind, clock.now());
    if (!options.state.empty()) {
        struct stat st {};
        if (stat(options.state.c_str(), &st) == 0) {
            std::string text;
            if (!readFile(options.state, text))
                fatal("cannot read the state file " + options.state);
            auto loaded = sim::loadState(text, error);
            if (!loaded)
                fatal("cannot load the state file " + options.state + ": " + error);
            if (loaded->kind != *kind)
                fatal("the state file " + options.state + " holds a " +
                      std::string(sim::kindName(loaded->kind)) + ", not a " + options.kind);
            state = std::move(*loaded);
        } else if (errno != ENOENT) {
            fatal("cannot read the state file " + options.state + ": " + std::strerror(errno));
        }
        if (!writeFileAtomically(options.state, sim::saveState(state), error))
            fatal("cannot write the state file " + options.state + ": " + error);
    }

    std::FILE* transcript = nullptr;
    if (!options.transcript.empty()) {
        transcript = std::fopen(options.transcript.c_str(), "w");
        if (!transcript)
            fatal("cannot write the transcript " + options.transcript + ": " + std::strerror(errno));
    }

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        fatal(std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
    char slaveName[256];
    if (ptsname_r(master, slaveName, sizeof slaveName) != 0)
        fatal(std::string("cannot name the pseudo-terminal: ") + std::strerror(errno));
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    makeRaw(slaveName);

    const std::string link = absolutePath(options.link);
    createLink(link, slaveName);

    // Signals are only let through while waiting, so a stop request is never lost between checks.
    sigset_t blocked, waiting;
    sigemptyset(&blocked);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&blocked, sig);
    sigprocmask(SIG_BLOCK, &blocked, &waiting);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction sa {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(sig, &sa, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("export SERIAL_COM%d=%s\n", com, link.c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s on %s (link %s); Ctrl-C stops it\n", program,
                 *kind == sim::Kind::Lumatrix ? "Lumatrix" : "Quorvane", slaveName, link.c_str());

    sim::Instrument instrument(std::move(state), *faults, options.baud, options.paceInput);
    std::string unsent;    // due but not yet taken by the terminal
    bool hungUp = false;   // nobody has the terminal open
    bool everOpen = false; // somebody had it open since the last hang-up
    bool saveWarned = false;

    const auto flushSideEffects = [&] {
        const auto lines = instrument.takeTranscript();
        if (transcript && !lines.empty()) {
            for (const auto& line : lines) {
                std::fputs(line.c_str(), transcript);
                std::fputc('\n', transcript);
            }
            std::fflush(transcript);
        }
        if (instrument.takeStateChanged() && !options.state.empty() &&
            !writeFileAtomically(options.state, sim::saveState(instrument.state()), error) && !saveWarned) {
            std::fprintf(stderr, "%s: cannot save the state to %s: %s\n", program, options.state.c_str(),
                         error.c_str());
            saveWarned = true;
        }
    };
    const auto hangUp = [&] {
        if (!hungUp && everOpen) {
            instrument.lineDropped(clock.now(), unsent.size());
            // What the far end had not read yet is gone with its port, as on a real line. Only that
            // direction: by the time the hang-up is seen here the far end may have opened the line
            // again and written to it, and those bytes are the next wake-up, not the past.
            const int fd = open(slaveName, O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (fd >= 0) {
                tcflush(fd, TCIFLUSH);
                close(fd);
            }
        }
        hungUp = true;
        everOpen = false;
        unsent.clear();
    };

    while (!stopSignal) {
        double now = clock.now();
        std::string due = instrument.takeDue(now);
        if (!hungUp)
            unsent += due; // with nobody listening the characters go nowhere, as on a real line
        if (!unsent.empty()) {
            const ssize_t n = write(master, unsent.data(), unsent.size());
            if (n > 0)
                unsent.erase(0, static_cast<std::size_t>(n));
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                hangUp();
        }
        flushSideEffects();

        double wait = -1;
        if (const auto next = instrument.nextDue())
            wait = std::max(0.0, *next - now);
        if (hungUp)
            wait = wait < 0 ? 0.02 : std::min(wait, 0.02); // look again for the far end opening the line
        timespec ts{};
        if (wait >= 0) {
            ts.tv_sec = static_cast<time_t>(wait);
            ts.tv_nsec = static_cast<long>((wait - static_cast<double>(ts.tv_sec)) * 1e9);
        }
        pollfd pfd{master, static_cast<short>(POLLIN | (unsent.empty() ? 0 : POLLOUT)), 0};
        const int r = ppoll(hungUp ? nullptr : &pfd, hungUp ? 0 : 1, wait >= 0 ? &ts : nullptr, &waiting);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            fatal(std::string("waiting for the terminal failed: ") + std::strerror(errno));
        }
        if (hungUp) {
            pollfd probe{master, POLLIN, 0};
            if (poll(&probe, 1, 0) >= 0 && !(probe.revents & POLLHUP)) {
                hungUp = false;
                everOpen = true;
            }
            continue;
        }
        if (pfd.revents & POLLIN) {
            char buffer[4096];
            for (;;) {
                const ssize_t n = read(master, buffer, sizeof buffer);
                if (n > 0) {
                    everOpen = true;
                    instrument.receive(std::string_view(buffer, static_cast<std::size_t>(n)), clock.now());
                    continue;
                }
                if (n < 0 && errno == EIO)
                    pfd.revents |= POLLHUP;
                break;
            }
        }
        if (pfd.revents & (POLLHUP | POLLERR))
            hangUp();
        else if (r == 0 || (pfd.revents & POLLOUT))
            everOpen = true;
    }

    flushSideEffects();
    if (!options.state.empty() &&
        !writeFileAtomically(options.state, sim::saveState(instrument.state()), error))
        std::fprintf(stderr, "%s: cannot save the state to %s: %s\n", program, options.state.c_str(),
                     error.c_str());
    if (transcript)
        std::fclose(transcript);
    removeLink(link, slaveName);
    close(master);
    std::fprintf(stderr, "%s: stopped\n", program);
    return 0;
}
