// Port numbers and devices, and how opening a port fails.

#include "link/PortNames.h"
#include "link/QtSerialPort.h"

#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using devlink::OpenStatus;

class PortNamesTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        for (int n : {0, 1, 7, 33, 96, 97, 200})
            qunsetenv(("SERIAL_COM" + std::to_string(n)).c_str());
    }
    void cleanup() { init(); }

    void numbersMapToDeviceBlocks() {
#ifdef _WIN32
        QCOMPARE(devlink::portDeviceName(255), std::string("COM255"));
#else
        const int numbers[] = {1, 32, 33, 64, 65, 96, 97, 0};
        const char* devices[] = {"/dev/ttyS0",
                                 "/dev/ttyS31",
                                 "/dev/ttyUSB0",
                                 "/dev/ttyUSB31",
                                 "/dev/ttyACM0",
                                 "/dev/ttyACM31",
                                 "",
                                 ""};
        for (int i = 0; i < 8; ++i)
            QCOMPARE(devlink::portDeviceName(numbers[i]), std::string(devices[i]));
#endif
    }

    void environmentPointsAnyNumberElsewhere() {
        qputenv("SERIAL_COM1", "/dev/pts/3");
        qputenv("SERIAL_COM200", "/tmp/instrument");
        qputenv("SERIAL_COM33", ""); // set but empty: as if not set
        QCOMPARE(devlink::portDeviceName(1), std::string("/dev/pts/3"));
        QCOMPARE(devlink::portDeviceName(33), std::string("/dev/ttyUSB0"));
        QCOMPARE(devlink::QtSerialPort().deviceName(200), std::string("/tmp/instrument"));
    }

    void openTellsMissingFromForbidden() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        ::chmod(dir.path().toLocal8Bit().constData(), 0755);

        devlink::QtSerialPort port;
        qputenv("SERIAL_COM7", (dir.path() + "/absent").toLocal8Bit());
        QVERIFY(port.open(7) == OpenStatus::InvalidPort && !port.isOpen());
        QCOMPARE(port.open(97), OpenStatus::InvalidPort); // no device for the number at all

        // Exists but is not a serial device: neither missing nor a success.
        const QByteArray plain = (dir.path() + "/plain").toLocal8Bit();
        ::close(::open(plain.constData(), O_CREAT | O_WRONLY, 0666));
        qputenv("SERIAL_COM7", plain);
        QVERIFY(port.open(7) == OpenStatus::Failed && !port.isOpen());

        // Exists, but we may not open it. Root may open anything, so try it as nobody.
        const QByteArray forbidden = (dir.path() + "/forbidden").toLocal8Bit();
        ::close(::open(forbidden.constData(), O_CREAT | O_WRONLY, 0600));
        if (::geteuid() != 0)
            ::chmod(forbidden.constData(), 0);
        qputenv("SERIAL_COM7", forbidden);
        if (::geteuid() != 0) {
            QCOMPARE(port.open(7), OpenStatus::AccessDenied);
            return;
        }
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(100);
            devlink::QtSerialPort asNobody;
            ::_exit(static_cast<int>(asNobody.open(7)));
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), static_cast<int>(OpenStatus::AccessDenied));
    }
};

QTEST_GUILESS_MAIN(PortNamesTest)
#include "portnames_test.moc"
