// The built emulator over a real pseudo-terminal, talked to with plain POSIX calls as a serial program
// would: its command line, a wake-up, a query, a write read back after the line was closed and reopened,
// a missed wake-up, a clean stop, and the state it keeps between runs.
#include "Check.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string simPath;
std::string dir;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
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
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDERR_FILENO);
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

// Exit code of the child, or -1 if it did not end within the limit (it is then killed).
int waitExit(const Child& c, double seconds) {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (Clock::now() < end) {
        const pid_t r = waitpid(c.pid, &status, WNOHANG);
        if (r == c.pid) {
            close(c.out);
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        usleep(5000);
    }
    kill(c.pid, SIGKILL);
    waitpid(c.pid, &status, 0);
    close(c.out);
    return -1;
}

// Reads from fd until `done` says the text is complete or the time is up.
template <typename Done> std::string readUntil(int fd, double seconds, Done done) {
    std::string text;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (!done(text)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0)
            break;
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

std::string readLine(int fd) {
    return readUntil(fd, 5, [](const std::string& t) { return t.find('\n') != std::string::npos; });
}

int runToEnd(const std::vector<std::string>& args, std::string* output = nullptr) {
    const Child c = spawn(args);
    const std::string text = readUntil(c.out, 5, [](const std::string&) { return false; });
    if (output)
        *output = text;
    return waitExit(c, 5);
}

int openLine(const std::string& link) {
    const int fd = open(link.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return fd;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

void put(int fd, const std::string& bytes) {
    CHECK(write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
}

std::string wake(int fd, double seconds = 1.0) {
    put(fd, "\x80");
    return readUntil(fd, seconds, [](const std::string& t) { return !t.empty(); });
}

std::string query(int fd, const std::string& command, std::size_t length) {
    put(fd, command + "\r");
    return readUntil(fd, 2, [length](const std::string& t) { return t.size() >= length; });
}

void commandLine() {
    std::string out;
    CHECK(runToEnd({"--help"}, &out) == 0);
    CHECK(out.find("Usage: instrument-sim --kind lumatrix|quorvane --link PATH") != std::string::npos);
    const std::string link = dir + "/unused";
    CHECK(runToEnd({"--bogus"}) == 2);
    CHECK(runToEnd({"--kind", "lumatrix"}) == 2);
    CHECK(runToEnd({"--kind", "flowmeter", "--link", link}) == 2);
    CHECK(runToEnd({"--kind", "lumatrix", "--link", link, "--faults", "sleepy"}) == 2);
    CHECK(runToEnd({"--kind", "lumatrix", "--link", link, "--baud", "fast"}) == 2);
    CHECK(runToEnd({"--kind", "lumatrix", "--link", dir + "/no/such/folder/link"}) == 1);
    CHECK(runToEnd({"--kind", "lumatrix", "--link", link, "--transcript", dir + "/no/such/t.log"}) == 1);
    const std::string regular = dir + "/regular";
    std::ofstream(regular) << "keep me";
    CHECK(runToEnd({"--kind", "lumatrix", "--link", regular}) == 1);
    CHECK(readAll(regular) == "keep me");
    CHECK(!exists(link));
}

void liveInstrument() {
    const std::string link = dir + "/lumatrix", transcript = dir + "/lumatrix.log",
                      state = dir + "/lumatrix.state";
    const Child sim = spawn({"--kind", "lumatrix", "--link", link, "--transcript", transcript, "--state",
                             state, "--faults", "miss-wake=3"});
    CHECK_EQ(readLine(sim.out), "export SERIAL_COM1=" + link + "\n");

    int fd = openLine(link);
    CHECK(fd >= 0);
    CHECK_EQ(wake(fd), "!");
    const std::string clock = query(fd, "H", 18);
    CHECK(clock.size() == 18 && clock[2] == '-' && clock[5] == '-' && clock[8] == ' ' && clock[11] == ':' &&
          clock[14] == ':' && clock[17] == '\r');
    CHECK_EQ(wake(fd), "!");
    put(fd, "e201003"
            "2D1388"
            "2B1388"
            "474E2032"
            "56202020\r");
    close(fd);

    // The program closes the port after every exchange; the emulator waits for the next one.
    fd = openLine(link);
    CHECK(fd >= 0);
    CHECK_EQ(wake(fd, 0.3), ""); // the third wake-up byte is missed on purpose
    put(fd, "\r");
    CHECK_EQ(wake(fd), "!");
    CHECK_EQ(query(fd, "C002010", 50), "03 2D 13 88 2B 13 88 47 4E 20 32 56 20 20 20 00 \r\n");
    close(fd);

    kill(sim.pid, SIGTERM);
    CHECK(waitExit(sim, 5) == 0);
    CHECK(!exists(link));
    const std::string log = readAll(transcript);
    CHECK(log.find("  <80>  -> !\n") != std::string::npos);
    CHECK(log.find("  H<CR>  -> ") != std::string::npos);
    CHECK(log.find("  <80>  (not answered: miss-wake=3)\n") != std::string::npos);
    CHECK(log.find("  <CR>  (lone CR: ignored)\n") != std::string::npos);
    CHECK(readAll(state).find("\nmem 2010 03 2D 13 88 2B 13 88 47 4E 20 32 56 20 20 20 00\n") !=
          std::string::npos);

    // The state file belongs to one kind of instrument, and it brings the written slot back.
    CHECK(runToEnd({"--kind", "quorvane", "--link", link, "--state", state}) == 1);
    const Child again = spawn({"--kind", "lumatrix", "--link", link, "--state", state, "--com", "7"});
    CHECK_EQ(readLine(again.out), "export SERIAL_COM7=" + link + "\n");
    fd = openLine(link);
    CHECK(fd >= 0);
    CHECK_EQ(wake(fd), "!");
    CHECK_EQ(query(fd, "C002010", 50).substr(0, 45), "03 2D 13 88 2B 13 88 47 4E 20 32 56 20 20 20 ");
    close(fd);
    kill(again.pid, SIGINT);
    CHECK(waitExit(again, 5) == 0);
    CHECK(!exists(link));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: sim_e2e_test PATH-TO-instrument-sim\n");
        return 2;
    }
    simPath = argv[1];
    char pattern[] = "/tmp/sim_e2e.XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 2;
    }
    dir = pattern;
    std::signal(SIGPIPE, SIG_IGN);
    commandLine();
    liveInstrument();
    std::system(("rm -rf '" + dir + "'").c_str());
    if (simtest::failures == 0)
        std::puts("emulator end-to-end checks passed");
    return simtest::failures == 0 ? 0 : 1;
}
