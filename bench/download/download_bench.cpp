// Whether the download keeps up with the line: 1000 logged blocks from the emulator paced as a
// 9600-baud line, through the real serial port and clock. Reports the wall time against the line
// time (33 characters per block at 960 characters a second) and the processor time the program
// spent meanwhile. With --window the program's own main window shows the progress (offscreen), as
// the user sees it; otherwise nothing is shown. Run by hand:
//     build/bench/download/download_bench [blocks] [--window]
#include "../QuietUi.h"
#include "app/MainWindow.h"
#include "app/Session.h"
#include "download/Download.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "link/OperationUi.h"
#include "link/QtSerialPort.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/resource.h>

namespace {

using bench::QuietUi;

double processSeconds() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return use.ru_utime.tv_sec + use.ru_stime.tv_sec + (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

// A read-out unit holding `count` blocks of changing readings, recording with one and two decimals.
std::string stateText(int count) {
    char line[96];
    std::string s = "kind lumatrix\n";
    std::snprintf(line, sizeof line, "reg 00 00 00 00 %02X %02X 03 12 00 00 00 00 00 00 00 00 00\n",
                  ((count + 1) >> 8) & 0xFF, (count + 1) & 0xFF);
    s += line;
    s += "reg 10 00 01 02 01 04 01 0F 0F 00 01 02 01 00 00 00 00\n";
    s += "mem 2010 01 2D 03 E8 2B 03 E8 54 45 4D 50 64 65 67 43 00\n";
    s += "mem 2110 02 2D 00 64 2B 03 E8 50 52 45 53 62 61 72 20 00\n";
    for (int n = 1; n <= count; ++n) {
        const int minutes = n - 1;
        std::snprintf(line, sizeof line, "block %d 00%02d%02d0512262%c%06X002B%06X00\n", n, minutes % 60,
                      (minutes / 60) % 24, n % 3 ? 'B' : 'D', (n * 37) % 100000, (n * 101) % 65536);
        s += line;
    }
    return s;
}

} // namespace

int main(int argc, char** argv) {
    int blocks = 1000;
    bool window = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--window")
            window = true;
        else
            blocks = std::atoi(argv[i]);
    }
    if (window && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The widgets need a screen; without them the program's own loop is all there is.
    const std::unique_ptr<QCoreApplication> app =
        window ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QTemporaryDir dir;
    const QString state = dir.filePath("state.txt");
    {
        QFile f(state);
        if (!f.open(QIODevice::WriteOnly) || f.write(stateText(blocks).c_str()) < 0)
            return 1;
    }
    const QString link = dir.filePath("line");
    QProcess sim;
    sim.setProgram(QStringLiteral(INSTRUMENT_SIM_PATH));
    sim.setArguments(
        {"--kind", "lumatrix", "--link", link, "--state", state, "--baud", "9600", "--com", "1"});
    sim.start();
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(10000)) {
        std::fprintf(stderr, "the emulator did not start\n");
        return 1;
    }
    sim.readAllStandardOutput();
    qputenv("SERIAL_COM1", link.toLocal8Bit());

    devlink::QtSerialPort port;
    devlink::SystemClock clock;
    QuietUi quiet;
    devlink::Link quietLine(port, clock, quiet, 1);
    config::ConfigModel quietModel(config::InstrumentKind::Lumatrix);
    std::unique_ptr<app::Session> session;
    if (window) {
        session = std::make_unique<app::Session>(config::InstrumentKind::Lumatrix, port, clock);
        session->window().show();
    }
    devlink::Link& line = session ? session->link() : quietLine;
    config::ConfigModel& model = session ? session->model() : quietModel;
    model.channelDP = {"1", "2"};

    const download::BlockRange range{1, blocks};
    const double cpuBefore = processSeconds();
    const auto start = std::chrono::steady_clock::now();
    const std::int64_t yieldsBefore = clock.yieldCount();
    const download::Download result =
        download::transferBlocks(model, line, range, dir.filePath("bench.prn").toStdString());
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = processSeconds() - cpuBefore;
    const std::int64_t yields = clock.yieldCount() - yieldsBefore;
    sim.terminate();
    sim.waitForFinished(5000);

    const double lineTime = blocks * 33 / 960.0;
    std::printf("%s, %d blocks: %zu received, file %lld bytes\n", window ? "main window" : "no window",
                blocks, result.records.size(),
                static_cast<long long>(QFileInfo(dir.filePath("bench.prn")).size()));
    std::printf("wall %.2f s, line time %.2f s (%+.1f %%)\n", wall, lineTime, (wall / lineTime - 1) * 100);
    std::printf("processor %.3f s (%.2f %% of wall), %lld yields (%.1f per block)\n", cpu, cpu / wall * 100,
                static_cast<long long>(yields), static_cast<double>(yields) / blocks);
    return result.outcome == download::Outcome::Completed ? 0 : 1;
}
