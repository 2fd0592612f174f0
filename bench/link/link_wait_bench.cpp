// How the real port and clock behave while an exchange waits: processor time spent waiting for a
// silent instrument, and how long after a character arrives the exchange notices it.
//
// The instrument is played by a thread on the master end of a pseudo-terminal. Run by hand:
//     build/bench/link/link_wait_bench
#include "../QuietUi.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "link/OperationUi.h"
#include "link/QtSerialPort.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using steady = std::chrono::steady_clock;

using bench::QuietUi;

double threadCpuSeconds() {
    rusage use{};
    getrusage(RUSAGE_THREAD, &use);
    return use.ru_utime.tv_sec + use.ru_stime.tv_sec + (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

// Answers the wake-up byte with "!" and the clock query with a clock line, recording when the
// last byte of each reply was written.
struct Instrument {
    int master = -1;
    bool silent = false;
    std::atomic<bool> stop{false};
    std::atomic<long long> lastReplyNs{0};

    void run() {
        std::string line;
        while (!stop) {
            pollfd ready{master, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0)
                continue;
            char c = 0;
            if (::read(master, &c, 1) <= 0)
                continue;
            if (silent)
                continue;
            if (c == '\x80') {
                send("!");
            } else if (c == '\r') {
                if (line == "H")
                    send("24 05 17 09 08 07\r");
                line.clear();
            } else {
                line += c;
            }
        }
    }
    void send(const char* text) {
        if (::write(master, text, std::strlen(text)) < 0)
            return;
        lastReplyNs = steady::now().time_since_epoch().count();
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    qputenv("SERIAL_COM90", name);

    devlink::QtSerialPort port;
    devlink::SystemClock clock;
    QuietUi ui;
    devlink::Link link(port, clock, ui, 90);

    Instrument instrument;
    instrument.master = master;
    std::thread far([&] { instrument.run(); });

    // Latency: from the last byte of the reply leaving the instrument to the exchange returning.
    std::vector<double> latencies;
    for (int i = 0; i < 50; ++i) {
        devlink::Reply reply = link.exchange(devlink::Exchange::clockQuery());
        long long end = steady::now().time_since_epoch().count();
        if (reply.outcome != devlink::Outcome::Replied) {
            std::fprintf(stderr, "exchange %d did not complete\n", i);
            continue;
        }
        latencies.push_back((end - instrument.lastReplyNs) / 1e6);
    }
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty())
        std::printf("reply noticed after: median %.3f ms, worst %.3f ms (%zu exchanges)\n",
                    latencies[latencies.size() / 2], latencies.back(), latencies.size());

    // Processor time of a silent instrument: two unanswered wake-up tries of 1 s each.
    instrument.silent = true;
    double cpu0 = threadCpuSeconds();
    auto wall0 = steady::now();
    std::int64_t yields0 = clock.yieldCount();
    link.exchange(devlink::Exchange::clockQuery());
    double wall = std::chrono::duration<double>(steady::now() - wall0).count();
    double cpu = threadCpuSeconds() - cpu0;
    std::printf("silent instrument: %.2f s waited, %.4f s processor time (%.2f%%), %lld yields\n", wall, cpu,
                100.0 * cpu / wall, static_cast<long long>(clock.yieldCount() - yields0));

    instrument.stop = true;
    far.join();
    ::close(master);
    ::close(slave);
    return 0;
}
