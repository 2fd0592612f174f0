// The download end to end: the program as the user gets it, on the real serial port, against the
// emulator holding known logged blocks. The data files are compared byte for byte.

#include "Station.h"

#include <QAction>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QtCharts/QChartView>
#include <QtCharts/QXYSeries>

using config::InstrumentKind;

namespace {

// Next block 5 (blocks 1..4 logged); channel A records range 1 slot 2 (one decimal), channel B
// range 3 slot 2 (two decimals).
const char* const lumatrixState = R"(kind lumatrix
reg 00 00 00 00 00 05 03 12 00 00 00 00 00 00 00 00 00
reg 10 00 01 02 01 04 01 0F 0F 00 01 02 01 00 00 00 00
mem 2010 01 2D 03 E8 2B 03 E8 54 45 4D 50 64 65 67 43 00
mem 2110 02 2D 00 64 2B 03 E8 50 52 45 53 62 61 72 20 00
block 1 0030140512262B0004D2002D00007800
block 2 0031140512262D000000002B0186A000
block 3 0032140512262B00FFFF002D00000100
block 4 0033140512262BFFFFFF002B00000A00
)";
const char* const quorvaneState = R"(kind quorvane
reg 00 00 00 00 00 04 02 00 00 00 00 00 00 00 00 00 00
reg 10 05 01 05 02 0F 0F 0F 0F 05 01 05 02 00 00 00 00
mem 2290 00 2B 00 00 2B 03 E8 4C 45 56 4C 20 6D 6D 20 00
mem 22A0 01 2B 00 00 2B 09 C4 50 52 45 53 6D 62 61 72 00
block 1 0000100102262B0186A0000003E80000
block 2 3000100102262B00000000FFFFFF0000
block 3 0001100102262B00000C000000010000
)";

const QByteArray header = "Block   ;Date    ;Time    ;ReadChA ;ReadChB ;\r   ";
const QByteArray lumatrixRecords[] = {
    "0001    ;05/12/26 ; 14:30:00 ;+0123.4 ;-001.20 ;\r",
    "0002    ;05/12/26 ; 14:31:00 ;-0000.0 ;+1000.00;\r",
    "0003    ;05/12/26 ; 14:32:00 ;+6553.5 ;-000.01 ;\r",
    "0004    ;05/12/26 ; 14:33:00 ;+1677721;+000.10 ;\r",
};
const QByteArray quorvaneFile = header + "0001    ;01/02/26 ; 10:00:00 ;100000  ;1000    ;\r"
                                         "0002    ;01/02/26 ; 10:00:30 ;0       ;16777215;\r"
                                         "0003    ;01/02/26 ; 10:01:00 ;12      ;1       ;\r";

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A station whose emulator starts from `state`.
struct Rig {
    Rig(InstrumentKind kind, const char* state, const QString& faults = {})
        : stateFile(writeState(dir, state)),
          station(kind, faults, 1, {QStringLiteral("--state"), stateFile}) {}
    static QString writeState(const QTemporaryDir& dir, const char* state) {
        const QString path = dir.filePath(QStringLiteral("state.txt"));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(state);
        return path;
    }
    void transfer() { station.window.findChild<QAction*>(QStringLiteral("mnuDataTransfer"))->trigger(); }
    QWidget* blockWindow() {
        QWidget* w = station.widget(QStringLiteral("frmNoBlock"));
        return w && w->isVisible() ? w : nullptr;
    }
    QString file(const char* name) { return dir.filePath(QLatin1String(name)); }

    QTemporaryDir dir;
    QString stateFile;
    e2e::Station station;
};

} // namespace

class E2eDownloadTest : public QObject {
    Q_OBJECT

private slots:
    void lumatrixAllWithViewAndCsv() {
        Rig rig(InstrumentKind::Lumatrix, lumatrixState);
        QVERIFY2(rig.station.sim.started(), qPrintable(rig.station.sim.error()));
        rig.transfer();
        QVERIFY(rig.blockWindow());
        QCOMPARE(rig.station.text("txtFromBlock"), QString("0001"));
        QCOMPARE(rig.station.text("txtToBlock"), QString("0004"));
        rig.station.answers.files = {rig.file("all")};
        rig.station.click("cmdOK");
        QVERIFY(!rig.blockWindow());
        QCOMPARE(readFile(rig.file("all.prn")),
                 header + lumatrixRecords[0] + lumatrixRecords[1] + lumatrixRecords[2] + lumatrixRecords[3]);
        QVERIFY(rig.station.answers.asked.empty());

        // The view shows the records and both channels; the CSV has a header and one row per block.
        auto* view = rig.station.widget("frmDataView");
        QVERIFY(view && view->isVisible());
        QCOMPARE(view->findChild<QTableView*>("grdData")->model()->rowCount(), 4);
        QCOMPARE(view->findChild<QTableView*>("grdData")->model()->index(3, 3).data().toString(),
                 QString("+1677721"));
        const auto series = view->findChild<QChartView*>("chtData")->chart()->series();
        QCOMPARE(series.size(), 2);
        QCOMPARE(static_cast<QXYSeries*>(series[1])->points().at(1).y(), 1000.0);
        rig.station.answers.files = {rig.file("all")};
        rig.station.click("cmdExportCsv");
        QCOMPARE(readFile(rig.file("all.csv")), QByteArray("Block,Date,Time,ReadChA,ReadChB\r\n"
                                                           "1,2026-12-05,14:30:00,123.4,-1.20\r\n"
                                                           "2,2026-12-05,14:31:00,0.0,1000.00\r\n"
                                                           "3,2026-12-05,14:32:00,6553.5,-0.01\r\n"
                                                           "4,2026-12-05,14:33:00,1677721.5,0.10\r\n"));
        rig.station.checkSettled();
        QCOMPARE(rig.station.commands(), QStringList({"B00", "B10", "C002010", "C002110", "F00010004"}));
    }

    void lumatrixCancelSelectedAndReset() {
        Rig rig(InstrumentKind::Lumatrix, lumatrixState);
        QVERIFY2(rig.station.sim.started(), qPrintable(rig.station.sim.error()));
        rig.transfer();
        QVERIFY(rig.blockWindow());
        // Cancel in the dialog: nothing sent, the window stays.
        rig.station.click("cmdOK");
        QVERIFY(rig.blockWindow());
        QCOMPARE(rig.station.answers.fileRequests.size(), std::size_t{1});

        // Letters: the Part's message, nothing sent.
        rig.station.setText("txtFromBlock", "abc");
        rig.station.click("optNoBlocks(1)");
        rig.station.click("cmdOK");
        QCOMPARE(rig.station.answers.askedTexts(), QStringList{"Error: Incorrect block inserted"});

        // Reset Memory, after a Yes; the boxes follow the new next block.
        rig.station.answers.answers = {devlink::Answer::Yes};
        rig.station.click("cmdReset");
        QCOMPARE(rig.station.text("txtToBlock"), QString("0001"));

        // From above To: the boxes turn round, blocks 2..3 (the logged blocks are still there).
        rig.station.click("optNoBlocks(1)");
        rig.station.setText("txtFromBlock", "3");
        rig.station.setText("txtToBlock", "2");
        rig.station.answers.files = {rig.file("some.prn")};
        rig.station.click("cmdOK");
        QCOMPARE(readFile(rig.file("some.prn")), header + lumatrixRecords[1] + lumatrixRecords[2]);
        // The instrument's own next block shows that the reset landed (in a new window: the old one goes).
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        rig.transfer();
        QCOMPARE(rig.station.text("txtToBlock"), QString("0001"));
        rig.station.click("cmdStop");
        rig.station.checkSettled();
        const QStringList queries{"B00", "B10", "C002010", "C002110"};
        const QStringList reset{"b0300", "b0400", "a0b400", "a0b500", "F00020002"};
        QCOMPARE(rig.station.commands(), queries + reset + queries);
    }

    void quorvaneReadsConfigurationFirst() {
        Rig rig(InstrumentKind::Quorvane, quorvaneState);
        QVERIFY2(rig.station.sim.started(), qPrintable(rig.station.sim.error()));
        rig.station.click("cmdDownload");
        QVERIFY(rig.station.session.model().configRead);
        QVERIFY(rig.blockWindow());
        // Stop closes the window; the configuration is not read again the next time.
        rig.station.click("cmdStop");
        QTest::qWait(10);
        QVERIFY(!rig.station.widget("frmNoBlock"));
        rig.station.click("cmdDownload");
        QVERIFY(rig.blockWindow());
        QCOMPARE(rig.station.text("txtToBlock"), QString("0003"));
        rig.station.answers.files = {rig.file("flow")};
        rig.station.click("cmdOK");
        QCOMPARE(readFile(rig.file("flow.prn")), quorvaneFile);
        rig.station.checkSettled();
        const QStringList commands = rig.station.commands();
        QVERIFY(commands.size() > 5);
        QCOMPARE(commands.mid(commands.size() - 5),
                 QStringList({"B00", "B10", "C002290", "C0022A0", "F00010003"}));
    }

    void stallAfterTwoBlocks() {
        Rig rig(InstrumentKind::Lumatrix, lumatrixState, "download-stop=2");
        QVERIFY2(rig.station.sim.started(), qPrintable(rig.station.sim.error()));
        rig.transfer();
        rig.station.answers.files = {rig.file("stall")};
        rig.station.click("cmdOK");
        QCOMPARE(readFile(rig.file("stall.prn")), header + lumatrixRecords[0] + lumatrixRecords[1]);
        QCOMPARE(rig.station.answers.askedTexts(),
                 QStringList{"Transfer data to file: Attention: Not all data has been transferred!"});
        rig.station.checkSettled();
        QCOMPARE(rig.station.commands().last(), QString("F00010004"));
    }
};

QTEST_MAIN(E2eDownloadTest)
#include "e2e_download_test.moc"
