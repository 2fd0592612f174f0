// The download in virtual time: records and block ranges as tables, the transfer against a scripted
// instrument (stalls, garbled and cut blocks, cancel, no answer, unwritable files), queries, reset.
// A whole download, the data file and the CSV are the end-to-end test's.

#include "../config/Rig.h"
#include "download/DataFile.h"
#include "download/Download.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using config::InstrumentKind;
using configtest::Rig;
using configtest::wake;
using download::Outcome;

namespace {

std::string readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<missing>");
}

// Two blocks of the read-out unit and their records with decimal points 1 (A) and 2 (B).
const std::string block1 = "0030140512262B0004D2002D00007800";
const std::string block2 = "0031140512262D000000002B0186A000";
const std::string header = "Block   ;Date    ;Time    ;ReadChA ;ReadChB ;\r   ";
const std::string record1 = "0001    ;05/12/26 ; 14:30:00 ;+0123.4 ;-001.20 ;\r";
const std::string record2 = "0002    ;05/12/26 ; 14:31:00 ;-0000.0 ;+1000.00;\r";

struct DownloadRig : Rig {
    explicit DownloadRig(bool awake = true) {
        model.channelDP = {"1", "2"};
        ui.files = {dir.filePath("data").toStdString()};
        if (awake)
            wakeUps("");
    }
    download::Download run(int first, int last) {
        return download::downloadBlocks(model, link, {first, last}, dir.path().toStdString());
    }
    std::string file() const { return readFile(dir.filePath("data.prn")); }
    QTemporaryDir dir;
};

} // namespace

class DownloadTest : public QObject {
    Q_OBJECT

private slots:
    void records() {
        struct Row {
            const char* flowOrDp; // "F" for the flow unit, else the decimal points of A and B (" ": none)
            int block;
            const char* text;
            const char* record; // without its CR
        };
        const Row rows[] = {
            {"33", 1, "0000140512262B003039002D00007800", "0001    ;05/12/26 ; 14:00:00 ;+12.345 ;-00.120 ;"},
            {"00", 12, "5940233112992B000001002B00000000",
             "0012    ;31/12/99 ; 23:40:59 ;+00001  ;+00000  ;"},
            {"23", 1, "0030140512262B003039002D00303900", "0001    ;05/12/26 ; 14:30:00 ;+123.45 ;-12.345 ;"},
            {"45", 1, "0030140512262B003039002D00303900", "0001    ;05/12/26 ; 14:30:00 ;+1.2345 ;-.12345 ;"},
            // Any sign pair but 2B is negative, zero included.
            {"00", 1, "00301405122620000000002D00000000", "0001    ;05/12/26 ; 14:30:00 ;-00000  ;-00000  ;"},
            // Seven digits fit at code 0; eight would lose a digit and are starred.
            {"00", 1, "0030140512262B98967F002B98968000", "0001    ;05/12/26 ; 14:30:00 ;+9999999;********;"},
            // Other patterns keep the cut, which loses only decimals.
            {"15", 1, "0030140512262BFFFFFF002BFFFFFF00", "0001    ;05/12/26 ; 14:30:00 ;+1677721;+167.772;"},
            // No scale known, or a code without a pattern: unformatted.
            {" 9", 1, "0030140512262B003039002B00303900", "0001    ;05/12/26 ; 14:30:00 ;+12345  ;+0.00001;"},
            // The flow unit: unsigned, no sign pair, B at 23..28.
            {"F", 65535, "0000140512262B0186A000FFFFFF0000",
             "65535   ;05/12/26 ; 14:00:00 ;100000  ;16777215;"},
            {"F", 2, "0000140512262D00000C000000010000", "0002    ;05/12/26 ; 14:00:00 ;12      ;1       ;"},
        };
        for (const Row& row : rows) {
            const std::string dp = row.flowOrDp;
            download::Decoding decoding{dp == "F" ? InstrumentKind::Quorvane : InstrumentKind::Lumatrix, {}};
            for (std::size_t c = 0; c < 2 && dp != "F"; ++c)
                decoding.dp[c] = dp[c] == ' ' ? "" : dp.substr(c, 1);
            QCOMPARE(download::dataRecord(download::decodeBlock(row.block, row.text, decoding)),
                     std::string(row.record) + "\r");
        }
    }

    void ranges() {
        struct Row {
            bool all;
            const char* from;
            const char* to;
            int nextBlock;
            const char* range; // "first last", "swapped" when the boxes turn round, "" refused
        };
        const Row rows[] = {
            {true, "x", "y", 301, "1 300"},
            {true, "", "", 1, "1 1"},
            {true, "", "", 0, "1 1"},
            {false, "0001", "0300", 9, "1 300"},
            {false, "20", "10", 9, "10 20 swapped"},
            {false, "0", "65534", 9, "0 65534"},
            {false, "abc", "10", 9, ""},
            {false, "1", "", 9, ""},
            {false, "1", "70000", 9, ""},
            {false, "1.5", "10", 9, ""},
            {false, "-1", "10", 9, ""},
            {false, "0", "65535", 9, ""}, // 65536 blocks do not fit the command
        };
        for (const Row& row : rows) {
            const auto r = download::chooseRange(row.all, row.from, row.to, row.nextBlock);
            const QString got =
                r ? QStringLiteral("%1 %2%3").arg(r->first).arg(r->last).arg(r->swapped ? " swapped" : "")
                  : QString();
            QCOMPARE(got, QString(row.range));
        }
    }

    void transferEndsEarly_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("records");
        QTest::newRow("stall after 2 blocks") << QString::fromStdString(block1 + "\r" + block2 + "\r") << 2;
        QTest::newRow("stall at once") << "" << 0;
        QTest::newRow("a 33rd character")
            << QString::fromStdString(block1 + "\r" + block2 + "X\r" + block1 + "\r") << 1;
        QTest::newRow("a block cut short")
            << QString::fromStdString(block1 + "\r" + block2.substr(0, 20)) << 1;
        QTest::newRow("a CR inside a block is data, the block is cut")
            << QString::fromStdString(block1 + "\r" + block2.substr(0, 10) + "\r" + block2.substr(0, 10))
            << 1;
    }

    void transferEndsEarly() {
        QFETCH(QString, reply);
        QFETCH(int, records);
        DownloadRig rig;
        rig.port.onCommand("F00010003").reply(reply.toStdString(), 0.01, 0.001);
        const auto result = rig.run(1, 3);
        QCOMPARE(result.outcome, Outcome::Stopped);
        QCOMPARE(rig.port.written(), wake + "F00010003\r");
        const std::string all = header + record1 + record2;
        QCOMPARE(rig.file(), all.substr(0, download::recordLength * static_cast<std::size_t>(records + 1)));
        QCOMPARE(rig.ui.messages.size(), std::size_t{1});
        QCOMPARE(rig.ui.messages[0].title + ": " + rig.ui.messages[0].text,
                 std::string("Transfer data to file: Attention: Not all data has been transferred!"));
        // The panels stay locked from the dialog to the end of the file; the port is closed.
        QVERIFY(!rig.port.isOpen() && rig.count("lockPanels") == 1 && rig.ui.calls.back() == "unlockPanels");
        // No endless retry: one command only, and the silence ended it after 5 s, not before.
        QCOMPARE(rig.port.openCount(), 1);
        if (records > 0 && reply.size() < 80) {
            const double end = rig.port.events().back().time;
            const double start = rig.port.writes().back().time;
            QVERIFY(end - start > 5.0);
            QVERIFY(end - start < 5.5);
        }
    }

    void cancelAndAbsentInstrumentSendNothing() {
        DownloadRig cancel;
        cancel.ui.files.clear();
        QCOMPARE(cancel.run(1, 2).outcome, Outcome::Cancelled);
        QVERIFY(cancel.port.written().empty() && QDir(cancel.dir.path()).isEmpty());
        QCOMPARE(cancel.calls(), std::string("lockPanels | chooseFile Save data file | unlockPanels"));
        const devlink::FileRequest& request = cancel.ui.fileRequests.at(0);
        QCOMPARE(request.title + "|" + request.filter + "|" + request.proposedName + "|" + request.folder,
                 "Save data file| Data File (*.prn)|*.prn||Data_5_12_2026|" + cancel.dir.path().toStdString());

        for (InstrumentKind kind : {InstrumentKind::Lumatrix, InstrumentKind::Quorvane}) {
            DownloadRig absent(false);
            absent.model.instrumentKind = kind;
            absent.port.on(wake).repeat();
            QFile old(absent.dir.filePath("data.prn"));
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
            old.close();
            QCOMPARE(absent.run(1, 2).outcome, Outcome::NotConnected);
            QCOMPARE(absent.port.written(), wake);
            QCOMPARE(absent.ui.messages.size(), std::size_t{1});
            QCOMPARE(absent.ui.messages[0].text,
                     std::string(kind == InstrumentKind::Lumatrix ? "Lumatrix not connected!"
                                                                  : "Quorvane not connected!"));
            QCOMPARE(absent.file(), std::string("old"));
            QCOMPARE(QDir(absent.dir.path()).entryList(QDir::Files).size(), 1);
            QVERIFY(!absent.port.isOpen() && !absent.ui.panelsLocked);
            QCOMPARE(absent.count("closeProgress 0"), 1);
        }
    }

    void fileProblems() {
        // A longer file is replaced, not patched.
        DownloadRig longer;
        QFile old(longer.dir.filePath("data.prn"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(1000, 'x')) == 1000);
        old.close();
        longer.port.onCommand("F00010001").reply(block1 + "\r", 0.01, 0.001);
        QCOMPARE(longer.run(1, 1).outcome, Outcome::Completed);
        QCOMPARE(longer.file(), header + record1);

        // A file that cannot be written is reported before anything goes out.
        DownloadRig nowhere;
        nowhere.ui.files = {nowhere.dir.filePath("missing/data.prn").toStdString()};
        QCOMPARE(nowhere.run(1, 1).outcome, Outcome::FileError);
        QVERIFY(nowhere.port.written().empty());
        QCOMPARE(nowhere.calls(), std::string("lockPanels | chooseFile Save data file | message File error: "
                                              "File already open! | unlockPanels"));
    }

    void blockWindowQueries() {
        // A channel recording with an unassigned scale is not read from a made-up slot.
        Rig unassigned;
        unassigned.wakeUps("");
        unassigned.model.channelDP = {"3", "3"};
        unassigned.port.onCommand("B00").reply("00 00 00 00 00\r", 0.01, 0.001);
        unassigned.port.onCommand("B10").reply("00 01 02 01 04 01 0F 0F 0F 0F 02 01\r", 0.01, 0.001);
        unassigned.port.onCommand("C002110").reply(
            configtest::dumpReply(configtest::slotBytes(2, '+', 0, '+', 0, "", "")));
        QCOMPARE(download::queryBlockWindow(unassigned.model, unassigned.link), Outcome::Completed);
        QCOMPARE(unassigned.port.written(), wake + "B00\r" + wake + "B10\r" + wake + "C002110\r");
        QCOMPARE(unassigned.model.nextBlock, 0);
        QVERIFY(unassigned.model.channelDP[0].isEmpty());

        // Awake but silent: one message, nothing more sent, no window.
        Rig silent;
        silent.wakeUps("");
        QCOMPARE(download::queryBlockWindow(silent.model, silent.link), Outcome::NoAnswer);
        QCOMPARE(silent.port.written(), wake + "B00\r");
        QCOMPARE(silent.ui.messages.size(), std::size_t{1});

        // No wake-up: one message, nothing more sent, no window.
        Rig absent;
        absent.port.on(wake).repeat();
        QCOMPARE(download::queryBlockWindow(absent.model, absent.link), Outcome::NotConnected);
        QCOMPARE(absent.port.written(), wake + "\r" + wake + "\r");
        QCOMPARE(absent.ui.messages.size(), std::size_t{1});
        QVERIFY(!absent.ui.panelsLocked && absent.count("closeProgress 1") == 1);
    }

    void resetMemory() {
        Rig declined;
        declined.ui.answers = {devlink::Answer::No};
        QCOMPARE(download::resetMemory(declined.model, declined.link), Outcome::Cancelled);
        QVERIFY(declined.port.written().empty());
        QCOMPARE(declined.ui.messages.at(0).buttons, devlink::Buttons::YesNo);

        // The second wake-up byte of a pair gets one try of 1 s; then the one message and nothing more.
        Rig lost;
        lost.wakeUps("yn");
        lost.port.on(wake).repeat();
        lost.ui.answers = {devlink::Answer::Yes};
        QCOMPARE(download::resetMemory(lost.model, lost.link), Outcome::NotConnected);
        QCOMPARE(lost.port.written(), wake + "b0300\r" + wake + "\r");
        QCOMPARE(lost.ui.messages.back().text, std::string("Lumatrix not connected!"));
        QVERIFY(!lost.port.isOpen() && !lost.ui.panelsLocked);
        QCOMPARE(lost.model.nextBlock, 9999);
    }
};

QTEST_GUILESS_MAIN(DownloadTest)
#include "download_test.moc"
