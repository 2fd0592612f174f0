#include "link/Clock.h"

#include "link/QtSerialPort.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSerialPort>
#include <QTime>
#include <QTimer>

#include <cmath>

namespace devlink {

double elapsedSince(double start, double now) {
    double elapsed = now - start;
    if (elapsed < 0)
        elapsed += secondsPerDay;
    return elapsed;
}

struct SystemClock::Impl {
    double startOfDay = 0; // time of day when the timer started
    QElapsedTimer timer;
};

SystemClock::SystemClock() : impl_(new Impl) {
    impl_->startOfDay = QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
    impl_->timer.start();
}

SystemClock::~SystemClock() {
    delete impl_;
}

double SystemClock::secondsSinceMidnight() {
    return std::fmod(impl_->startOfDay + impl_->timer.nsecsElapsed() / 1e9, secondsPerDay);
}

void SystemClock::yield(Port& port, double seconds) {
    ++yields_;
    if (!(seconds > 0)) {
        QEventLoop loop;
        loop.processEvents(QEventLoop::AllEvents);
        return;
    }
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (auto* qtPort = dynamic_cast<QtSerialPort*>(&port.device()); qtPort != nullptr && qtPort->isOpen()) {
        QSerialPort* serial = &qtPort->serial();
        QObject::connect(serial, &QSerialPort::readyRead, &loop, &QEventLoop::quit);
        QObject::connect(serial, &QSerialPort::errorOccurred, &loop, &QEventLoop::quit);
        QObject::connect(serial, &QSerialPort::aboutToClose, &loop, &QEventLoop::quit);
        // Only new characters wake us: QSerialPort takes them in during event processing alone,
        // so none can slip in between the caller's look at the buffer and the loop below.
    }
    deadline.start(static_cast<int>(std::ceil(seconds * 1000.0)));
    loop.exec();
}

} // namespace devlink
