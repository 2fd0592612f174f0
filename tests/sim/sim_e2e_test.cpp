// The built emulator over a real pseudo-terminal, talked to with plain POSIX calls as a serial program
// would: its command line, a wake-up, a query, a write read back after the line was closed and reopened,
// a missed wake-up, a clean stop, and the state it keeps between runs.
#include "Check.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

std::string simPath, dir;

std::string readAll(const std::string& path) {
    std::ostringstream all;
    all << std::ifstream(path, std::ios::binary).rdbuf();
    return all.str();
}

bool exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// Reads from fd until `done` says the text is complete, the far end closed, or the time is up.
template <typename Done> std::string readUntil(int fd, double seconds, Done done) {
    std::string text;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (!done(text)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        char buffer[256];
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
            break;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

// Starts the emulator through the shell, which prints its own process id and then becomes the emulator.
FILE* launch(const std::string& args) {
    return popen(("echo $$; exec '" + simPath + "' " + args + " 2>/dev/null").c_str(), "r");
}

// The process id and the first line the emulator prints.
std::pair<pid_t, std::string> started(FILE* sim) {
    const std::string text = readUntil(
        fileno(sim), 5, [](const std::string& t) { return std::count(t.begin(), t.end(), '\n') >= 2; });
    return {static_cast<pid_t>(std::atoi(text.c_str())), text.substr(text.find('\n') + 1)};
}

// Signals the emulator (never a process group: a lost id must not hit the test itself) and returns its exit
// code once it has ended; -1 when the signal ended it.
int stop(FILE* sim, pid_t pid, int signal) {
    CHECK(pid > 0);
    if (pid > 0)
        kill(pid, signal);
    const int status = pclose(sim);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the emulator to its end (one still running after five seconds is killed): its exit code and output.
int runToEnd(const std::string& args, std::string* output = nullptr) {
    FILE* sim = launch(args);
    const std::string text = readUntil(fileno(sim), 5, [](const std::string&) { return false; });
    if (output)
        *output = text;
    return stop(sim, static_cast<pid_t>(std::atoi(text.c_str())), SIGKILL);
}

int openLine(const std::string& link) {
    const int fd = open(link.c_str(), O_RDWR | O_NOCTTY);
    CHECK(fd >= 0);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

// Sends bytes and collects the reply of `length` characters.
std::string exchange(int fd, const std::string& bytes, std::size_t length, double seconds = 2.0) {
    CHECK(write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
    return readUntil(fd, seconds, [length](const std::string& t) { return t.size() >= length; });
}

void commandLine() {
    std::string out;
    CHECK(runToEnd("--help", &out) == 0 &&
          out.find("Usage: instrument-sim --kind lumatrix|quorvane --link PATH") != std::string::npos);
    // Usage errors end with 2, a link or transcript that cannot be made with 1, and nothing is left behind; a
    // regular file in the link's place is not overwritten.
    const std::string link = " --link " + dir + "/unused", regular = dir + "/regular";
    std::ofstream(regular) << "keep me";
    for (const std::string& args :
         {std::string("--bogus"), std::string("--kind lumatrix"), "--kind lumatrix --baud fast" + link,
          "--kind flowmeter" + link, "--kind lumatrix --faults sleepy" + link})
        CHECK(runToEnd(args) == 2);
    for (const std::string& args : {std::string("--kind lumatrix --link ") + dir + "/no/such/folder/link",
                                    "--kind lumatrix --transcript " + dir + "/no/such/t.log" + link,
                                    "--kind lumatrix --link " + regular})
        CHECK(runToEnd(args) == 1);
    CHECK(readAll(regular) == "keep me" && !exists(dir + "/unused"));
}

void liveInstrument() {
    const std::string link = dir + "/lumatrix", log = dir + "/lumatrix.log", state = dir + "/lumatrix.state";
    FILE* sim = launch("--kind lumatrix --faults miss-wake=3 --link " + link + " --transcript " + log +
                       " --state " + state);
    const auto [pid, line] = started(sim);
    CHECK_EQ(line, "export SERIAL_COM1=" + link + "\n");

    int fd = openLine(link);
    CHECK_EQ(exchange(fd, "\x80", 1), "!");
    const std::string clock = exchange(fd, "H\r", 18);
    CHECK(clock.size() == 18 && clock[2] == '-' && clock[5] == '-' && clock[8] == ' ' && clock[11] == ':' &&
          clock[14] == ':' && clock[17] == '\r');
    CHECK_EQ(exchange(fd, "\x80", 1), "!");
    CHECK_EQ(exchange(fd, "e2010032D13882B1388474E203256202020\r", 1, 0.2), ""); // a write has no reply
    close(fd);

    // The program closes the port after every exchange; the emulator waits for the next one.
    fd = openLine(link);
    CHECK_EQ(exchange(fd, "\x80", 1, 0.3), ""); // the third wake-up byte is missed on purpose
    CHECK_EQ(exchange(fd, "\r\x80", 1), "!");
    CHECK_EQ(exchange(fd, "C002010\r", 50), "03 2D 13 88 2B 13 88 47 4E 20 32 56 20 20 20 00 \r\n");
    close(fd);

    CHECK(stop(sim, pid, SIGTERM) == 0 && !exists(link));
    const std::string transcript = readAll(log);
    for (const char* line : {"  <80>  -> !\n", "  H<CR>  -> ", "  <80>  (not answered: miss-wake=3)\n",
                             "  <CR>  (lone CR: ignored)\n"})
        CHECK(transcript.find(line) != std::string::npos);
    CHECK(readAll(state).find("\nmem 2010 03 2D 13 88 2B 13 88 47 4E 20 32 56 20 20 20 00\n") !=
          std::string::npos);

    // The state file belongs to one kind of instrument, and it brings the written slot back.
    CHECK(runToEnd("--kind quorvane --link " + link + " --state " + state) == 1);
    FILE* again = launch("--kind lumatrix --com 7 --link " + link + " --state " + state);
    const auto [againPid, againLine] = started(again);
    CHECK_EQ(againLine, "export SERIAL_COM7=" + link + "\n");
    fd = openLine(link);
    CHECK_EQ(exchange(fd, "\x80", 1), "!");
    CHECK_EQ(exchange(fd, "C002010\r", 50).substr(0, 45), "03 2D 13 88 2B 13 88 47 4E 20 32 56 20 20 20 ");
    close(fd);
    CHECK(stop(again, againPid, SIGINT) == 0 && !exists(link));
}

} // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/sim_e2e.XXXXXX";
    if (argc < 2 || !mkdtemp(pattern)) {
        std::fprintf(stderr, "usage: sim_e2e_test PATH-TO-instrument-sim (and a writable /tmp)\n");
        return 2;
    }
    simPath = argv[1];
    dir = pattern;
    std::signal(SIGPIPE, SIG_IGN);
    commandLine();
    liveInstrument();
    std::system(("rm -rf '" + dir + "'").c_str());
    std::puts(simtest::failures ? "emulator end-to-end checks failed" : "emulator end-to-end checks passed");
    return simtest::failures ? 1 : 0;
}
