// The whole linearization send (formula text and 1000 points, 1012 writes, each after its own
// wake-up) against the emulated flow unit on a pseudo-terminal, through the real port and clock.
// The emulator plays a 9600-baud line; the wall time is set against the line time of the bytes the
// send puts on it (wake-up byte, "!", command and CR per write), and what is left over is the time
// the program adds per write.
//
//     build/bench/linearization/linearization_send_bench [runs]
//
// Three lines are timed: both directions paced at 9600 baud (the real line), only the
// instrument's answers paced, and no pacing (the program and the terminal alone).
#include "../QuietUi.h"
#include "config/ConfigModel.h"
#include "formula/FormulaEvaluator.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "link/OperationUi.h"
#include "link/QtSerialPort.h"
#include "linearization/Linearization.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <signal.h>

namespace {

using bench::QuietUi;

constexpr double baud = 9600.0;
constexpr double charTime = 10.0 / baud;
const char* const formulaText = "0.75*x+12.5";

// Characters on the line for the whole send: per write the wake-up byte, "!", the command ("k00",
// four address digits, eight data digits) and CR.
constexpr int writes = 12 + linearization::pointCount;
constexpr double lineSeconds = writes * (1 + 1 + 15 + 1) * charTime;

struct Emulator {
    QTemporaryDir dir;
    QProcess process;
    bool start(const QStringList& pacing) {
        process.setProgram(QStringLiteral(INSTRUMENT_SIM_PATH));
        process.setArguments(QStringList{"--kind", "quorvane", "--com", "1", "--link", dir.filePath("line")} + pacing);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        if (!process.waitForStarted(5000) || !process.waitForReadyRead(10000))
            return false;
        process.readAllStandardOutput();
        qputenv("SERIAL_COM1", dir.filePath("line").toLocal8Bit());
        return true;
    }
    ~Emulator() {
        if (process.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
            process.waitForFinished(5000);
        }
    }
};

// Seconds for one whole send, or a negative number when it did not complete.
double timeSend(const QStringList& pacing, std::int64_t& yields) {
    Emulator emulator;
    if (!emulator.start(pacing))
        return -1;
    devlink::QtSerialPort port;
    devlink::SystemClock clock;
    QuietUi ui;
    devlink::Link link(port, clock, ui, 1);
    config::ConfigModel model(config::InstrumentKind::Quorvane);
    model.channel(1).formula = QString::fromLatin1(formulaText);
    model.channel(1).dp = 1;
    formula::FormulaEvaluator evaluator;
    linearization::Linearizer linearizer(model, link, evaluator, ui);
    const auto start = std::chrono::steady_clock::now();
    const linearization::Outcome outcome = linearizer.setLinear();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    yields = clock.yieldCount();
    return outcome == linearization::Outcome::Sent && ui.messages == 0 ? elapsed.count() : -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    // The computation alone, for comparison: every point evaluated and checked.
    {
        formula::FormulaEvaluator evaluator;
        evaluator.storeExpression(formulaText);
        const auto start = std::chrono::steady_clock::now();
        const auto computed = linearization::computeTable(evaluator, 1);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        std::printf("table of 1000 points computed and checked: %.3f ms%s\n", elapsed.count() * 1e3,
                    computed.table ? "" : " (failed)");
    }

    const double line = lineSeconds;
    std::printf("line time of the send at 9600 baud: %.3f s (%d writes, %.3f ms each)\n\n", line, writes,
                line / writes * 1e3);
    struct Case {
        const char* name;
        QStringList pacing;
        double paced; // seconds of line time the emulator makes the program wait for
    };
    const Case cases[] = {
        {"both directions paced (--baud 9600 --pace-input)", {"--baud", "9600", "--pace-input"}, line},
        {"answers paced (--baud 9600)", {"--baud", "9600"}, writes * charTime},
        {"no pacing", {}, 0.0},
    };
    for (const Case& c : cases) {
        for (int run = 1; run <= runs; ++run) {
            std::int64_t yields = 0;
            const double wall = timeSend(c.pacing, yields);
            if (wall < 0) {
                std::printf("%s: run %d did not complete\n", c.name, run);
                return 1;
            }
            std::printf("%-50s run %d: %.3f s; paced %.3f s; over it %+.2f %%; program adds %.3f ms per write; "
                        "%lld yields\n",
                        c.name, run, wall, c.paced, c.paced > 0 ? (wall / c.paced - 1) * 100 : 0.0,
                        (wall - c.paced) / writes * 1e3, static_cast<long long>(yields));
        }
    }
    return 0;
}
