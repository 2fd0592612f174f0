#include "Emulator.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

#include <signal.h>
#include <sys/types.h>

namespace e2e {

Emulator::Emulator(const QString& kind, int portNumber, const QString& faults, const QStringList& extra) {
    const QString program = qEnvironmentVariable("INSTRUMENT_SIM");
    if (program.isEmpty()) {
        error_ = QStringLiteral("INSTRUMENT_SIM is not set (the path of the built instrument-sim)");
        return;
    }
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary directory: ") + dir_.errorString();
        return;
    }
    QStringList args{QStringLiteral("--kind"),       kind,
                     QStringLiteral("--link"),       linkPath(),
                     QStringLiteral("--transcript"), transcriptPath(),
                     QStringLiteral("--com"),        QString::number(portNumber)};
    if (!faults.isEmpty())
        args << QStringLiteral("--faults") << faults;
    args << extra;
    process_.setProgram(program);
    process_.setArguments(args);
    // Its own messages (start, stop) land in the test log.
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start();
    if (!process_.waitForStarted(5000)) {
        error_ = QStringLiteral("cannot start ") + program + QStringLiteral(": ") + process_.errorString();
        return;
    }
    pid_ = process_.processId();

    // The setting line comes once the terminal and the link are in place.
    QByteArray out;
    const QDeadlineTimer deadline(10000);
    while (!out.contains('\n') && !deadline.hasExpired() && process_.state() == QProcess::Running) {
        process_.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
        out += process_.readAllStandardOutput();
    }
    const QByteArray expected =
        "export SERIAL_COM" + QByteArray::number(portNumber) + "=" + linkPath().toLocal8Bit() + "\n";
    if (out != expected) {
        error_ = QStringLiteral("unexpected first output: \"%1\" (expected \"%2\")")
                     .arg(QString::fromLocal8Bit(out), QString::fromLocal8Bit(expected));
        stop(SIGKILL);
        return;
    }
    qputenv("SERIAL_COM" + QByteArray::number(portNumber), linkPath().toLocal8Bit());
    started_ = true;
}

Emulator::~Emulator() {
    stop();
    // What the line carried is the first thing to look at when a test case failed.
    if (started_ && QTest::currentTestFailed())
        qWarning("emulator transcript:\n%s", qPrintable(transcriptText()));
}

void Emulator::stop(int signal) {
    if (pid_ <= 0 || !running())
        return;
    ::kill(static_cast<pid_t>(pid_), signal);
    if (!process_.waitForFinished(5000)) {
        ::kill(static_cast<pid_t>(pid_), SIGKILL);
        process_.waitForFinished(5000);
    }
}

QString Emulator::transcriptText() const {
    QFile file(transcriptPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll());
}

std::vector<TranscriptLine> Emulator::transcript() const {
    // Fields are separated by two spaces; the commands and replies used here hold no such pair.
    const QLatin1String gap("  ");
    std::vector<TranscriptLine> lines;
    for (const QString& line : transcriptText().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        lines.push_back({line.section(gap, 1, 1), line.section(gap, 2)});
    return lines;
}

} // namespace e2e
