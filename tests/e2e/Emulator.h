#pragma once

// One instrument-sim process for one test case: its own temporary directory, link and transcript,
// started on construction and stopped (by its process id) on destruction.
//
// The emulator's path comes from the environment variable INSTRUMENT_SIM (set by CTest).

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <csignal>
#include <vector>

namespace e2e {

// One transcript line: "HH:MM:SS.mmm  <what arrived>  <what the emulator did>".
struct TranscriptLine {
    QString what;    // e.g. "<80>", "<CR>", "H<CR>"
    QString outcome; // e.g. "-> !", "-> 24-05-17 09:08:07<CR>", "(lone CR: ignored)"; may be empty
};

class Emulator {
public:
    // kind: "lumatrix" or "quorvane"; faults: the --faults list, empty for none; SERIAL_COM<portNumber>
    // is pointed at the link. `extra` goes to the command line as it is (e.g. --state FILE).
    Emulator(const QString& kind, int portNumber, const QString& faults = {}, const QStringList& extra = {});
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // False (with error() saying why) when the emulator could not be started.
    bool started() const { return started_; }
    const QString& error() const { return error_; }

    QString linkPath() const { return dir_.filePath(QStringLiteral("line")); }
    QString transcriptPath() const { return dir_.filePath(QStringLiteral("transcript.log")); }

    // Sends `signal` to the emulator's process and waits for it to end (SIGKILL after 5 s).
    // Safe to call more than once.
    void stop(int signal = SIGTERM);
    bool running() const { return process_.state() != QProcess::NotRunning; }

    // The transcript as written so far (complete once stopped).
    std::vector<TranscriptLine> transcript() const;
    // The raw text, for failure messages.
    QString transcriptText() const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    qint64 pid_ = 0;
    bool started_ = false;
    QString error_;
};

} // namespace e2e
