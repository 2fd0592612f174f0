// The built emulator over a real pseudo-terminal, talked to with plain POSIX calls as a serial program
// would: its command line, a wake-up, a query, a write read back after the line was closed and reopened,
// a missed wake-up, a clean stop, and the state it keeps between runs.
#include "Check.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

struct Child {
    pid_t pid = -1;
    int out = -1; // its standard output
};

Child spawn(const std::vector<std::string>& args) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        dup2(open("/dev/null", O_WRONLY), STDERR_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char*> argv{const_cast<char*>(simPath.c_str())};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(simPath.c_str(), argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    return {pid, pipeFds[0]};
}

// Exit code of the child, or -1 if it did not end within five seconds (it is then killed).
int waitExit(const Child& c) {
    const auto end = Clock::now() + std::chrono::seconds(5);
    int status = 0;
    pid_t r = 0;
    while ((r = waitpid(c.pid, &status, WNOHANG)) != c.pid && Clock::now() < end)
        usleep(5000);
    if (r != c.pid) {
        kill(c.pid, SIGKILL);
        waitpid(c.pid, &status, 0);
    }
    close(c.out);
    return r != c.pid ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Reads from fd until `length` characters (or, with no length, a line) arrived, the far end closed, or the
// time is up.
std::string readUntil(int fd, double seconds, std::size_t length = 0) {
    std::string text;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (length ? text.size() < length : text.find('\n') == std::string::npos) {
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

int runToEnd(const std::vector<std::string>& args, std::string* output = nullptr) {
    const Child c = spawn(args);
    const std::string text = readUntil(c.out, 5, std::string::npos);
    if (output)
        *output = text;
    return waitExit(c);
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
    return readUntil(fd, seconds, length);
}

void commandLine() {
    std::string out;
    CHECK(runToEnd({"--help"}, &out) == 0);
    CHECK(out.find("Usage: instrument-sim --kind lumatrix|quorvane --link PATH") != std::string::npos);
    // Usage errors end with 2, a link or transcript that cannot be made with 1, and nothing is left behind; a
    // regular file in the link's place is not overwritten.
    const std::string link = dir + "/unused", regular = dir + "/regular";
    std::ofstream(regular) << "keep me";
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"--bogus"}, 2},
        {{"--kind", "lumatrix"}, 2},
        {{"--kind", "flowmeter", "--link", link}, 2},
        {{"--kind", "lumatrix", "--link", link, "--faults", "sleepy"}, 2},
        {{"--kind", "lumatrix", "--link", link, "--baud", "fast"}, 2},
        {{"--kind", "lumatrix", "--link", dir + "/no/such/folder/link"}, 1},
        {{"--kind", "lumatrix", "--link", link, "--transcript", dir + "/no/such/t.log"}, 1},
        {{"--kind", "lumatrix", "--link", regular}, 1},
    };
    for (const auto& [args, code] : cases)
        CHECK(runToEnd(args) == code);
    CHECK(readAll(regular) == "keep me" && !exists(link));
}

void liveInstrument() {
    const std::string link = dir + "/lumatrix", log = dir + "/lumatrix.log", state = dir + "/lumatrix.state";
    const Child sim = spawn({"--kind", "lumatrix", "--link", link, "--transcript", log, "--state", state,
                             "--faults", "miss-wake=3"});
    CHECK_EQ(readUntil(sim.out, 5), "export SERIAL_COM1=" + link + "\n");

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

    kill(sim.pid, SIGTERM);
    CHECK(waitExit(sim) == 0 && !exists(link));
    const std::string transcript = readAll(log);
    for (const char* line : {"  <80>  -> !\n", "  H<CR>  -> ", "  <80>  (not answered: miss-wake=3)\n",
                             "  <CR>  (lone CR: ignored)\n"})
        CHECK(transcript.find(line) != std::string::npos);
    CHECK(readAll(state).find("\nmem 2010 03 2D 13 88 2B 13 88 47 4E 20 32 56 20 20 20 00\n") !=
          std::string::npos);

    // The state file belongs to one kind of instrument, and it brings the written slot back.
    CHECK(runToEnd({"--kind", "quorvane", "--link", link, "--state", state}) == 1);
    const Child again = spawn({"--kind", "lumatrix", "--link", link, "--state", state, "--com", "7"});
    CHECK_EQ(readUntil(again.out, 5), "export SERIAL_COM7=" + link + "\n");
    fd = openLine(link);
    CHECK_EQ(exchange(fd, "\x80", 1), "!");
    CHECK_EQ(exchange(fd, "C002010\r", 50).substr(0, 45), "03 2D 13 88 2B 13 88 47 4E 20 32 56 20 20 20 ");
    close(fd);
    kill(again.pid, SIGINT);
    CHECK(waitExit(again) == 0 && !exists(link));
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
    if (simtest::failures == 0)
        std::puts("emulator end-to-end checks passed");
    return simtest::failures == 0 ? 0 : 1;
}
