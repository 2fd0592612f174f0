// Set All and Set Single end to end: the main window's buttons against the instrument emulator,
// through the real serial port, with the emulator's transcript as witness, and a configuration
// read afterwards showing what was written. The read-out unit's full read takes about a minute.

#include "../config/Print.h"
#include "Station.h"
#include "link/Link.h"

#include <QTabWidget>

using config::InstrumentKind;
using e2e::Station;

namespace {

// "Insert default Configuration", then "Set all scales into ...".
void defaultThenSetAll(Station& station) {
    station.click(QStringLiteral("cmdDefault"));
    station.click(QStringLiteral("cmdSetAll"));
}

// Commands that reached the emulator, whether or not a wake-up was answered.
int commandLines(Station& station) {
    station.sim.stop();
    int n = 0;
    for (const auto& line : station.sim.transcript())
        n += line.what.endsWith(QLatin1String("<CR>")) && line.what != QLatin1String("<CR>");
    return n;
}

} // namespace

class SetAllEndToEnd : public QObject {
    Q_OBJECT

private slots:
    // Default, Set All (42 slots), and a full read shows the defaults back.
    void lumatrixDefaultSetAllRead() {
        Station station(InstrumentKind::Lumatrix);
        QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
        defaultThenSetAll(station);
        station.checkSettled();
        const auto expected = station.window.model().scales;

        station.answers.answers = {devlink::Answer::Yes};
        station.click(QStringLiteral("cmdReadConfig"));
        station.checkSettled();
        QCOMPARE(station.answers.asked.size(), std::size_t(1)); // the read's question only
        for (int range = 1; range <= 6; ++range) {
            for (int gain = 1; gain <= 8; ++gain) {
                config::Scale s = expected[range - 1][gain - 1];
                if (gain > 1)
                    s.unit = s.unit.leftJustified(4, QLatin1Char(' ')); // stored padded to four
                QCOMPARE(station.row(range, gain), s);
            }
        }

        // Each range's default: decimal point, start, end and unit as the slot holds them.
        const char* ranges[6][4] = {
            {"03", "2D1388", "2B1388", "56202020"}, {"03", "2D07D0", "2B07D0", "56202020"},
            {"02", "2D4E20", "2B4E20", "6D562020"}, {"03", "2D4E20", "2B4E20", "6D562020"},
            {"04", "2D4E20", "2B4E20", "6D562F56"}, {"03", "2B0000", "2B4E20", "6D412020"}};
        QStringList commands{"B02"};
        QStringList reads;
        for (int range = 1; range <= 6; ++range) {
            for (int gain = 2; gain <= 8; ++gain) {
                const QString address = QStringLiteral("%1")
                                            .arg(0x2000 + (range - 1) * 0x80 + (gain - 1) * 0x10, 4, 16)
                                            .toUpper();
                const auto* r = ranges[range - 1];
                commands << "e" + address + r[0] + r[1] + r[2] + "474E203" + QString::number(gain) + r[3];
                reads << QStringLiteral("C00") + address;
            }
        }
        QCOMPARE(station.commands(), commands + reads + QStringList{"B10"});
    }

    // Default, the constants A and K, Set All, and the read shows the same channels.
    void quorvaneDefaultSetAllRead() {
        Station station(InstrumentKind::Quorvane);
        QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
        station.click(QStringLiteral("cmdDefault"));
        station.setText(QStringLiteral("txtA(1)"), QStringLiteral("1.5"));
        station.setText(QStringLiteral("txtK(1)"), QStringLiteral("2"));
        station.click(QStringLiteral("cmdSetAll"));
        station.checkSettled();
        QVERIFY2(station.answers.asked.empty(), qPrintable(station.answers.askedTexts().join(" / ")));
        QCOMPARE(station.text(QStringLiteral("txtUnit(1)")), QStringLiteral("l/s ")); // padded in its box

        station.click(QStringLiteral("cmdReadConfig"));
        station.checkSettled();
        // Scales read back as raw magnitudes; the stored formula starts with the two constants.
        const config::FlowChannel a{"+0",   "+1000", 0, "GN 2", " mm ", "1.52", "1", "0", 0,
                                    "l/s ", "1",     0, " m3 ", "1.5",  "2",    "",  ""};
        const config::FlowChannel b{"+0",   "+1000", 0, "GN 3", " mm ", "", "1", "0", 0,
                                    "l/s ", "1",     0, " m3 ", "",     "", "",  ""};
        QCOMPARE(station.channel(1), a);
        QCOMPARE(station.channel(2), b);

        const QString line = QStringLiteral(
            "e2290002B00002B03E8474E2032206D6D20 e22A0002B00002B03E8474E2033206D6D20 c003FA400 "
            "k003FA56C2F7320 c003FA901 k003FAA2D000000 k003FAE2D000000 k003FB22B000001 "
            "k003FB62B000001 c003FBA00 c003FBB00 k003FBC206D3320 k003FC0206D3320 k003FD0312E3520 "
            "k003FD420202020 k003FD832202020 k003FDC20202020 k003FE020202020 k003FE420202020 "
            "k003FE820202020 k003FEC20202020 C002290 C0022A0 C003FA0 C003FB0 C003FC0 C003FD0 "
            "C003FE0 C003FF0 B10");
        QCOMPARE(station.commands(), line.split(QLatin1Char(' ')));
    }

    // A unit fixed to 200mV: Set All and Set Single on another page are refused, Set Single on the
    // third page writes range 3.
    void lumatrixFixedToRange3() {
        Station station(InstrumentKind::Lumatrix);
        QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
        QCOMPARE(station.session.link().write({.command = "b0203"}), devlink::Written::Sent);
        auto* tabs = station.window.findChild<QTabWidget*>(QStringLiteral("ScaleTab"));

        defaultThenSetAll(station);
        tabs->setCurrentIndex(0);
        station.click(QStringLiteral("cmdSetSingle"));
        tabs->setCurrentIndex(2);
        station.click(QStringLiteral("cmdSetSingle"));
        station.checkSettled();

        const QString refusal = QStringLiteral("Setting error: Setting not allowed\r\nQTR-MZ Type: 200mV");
        QCOMPARE(station.answers.askedTexts(), (QStringList{refusal, refusal}));
        QStringList addresses;
        for (const QString& c : station.commands())
            addresses << c.left(5);
        QCOMPARE(addresses, (QStringList{"b0203", "B02", "B02", "B02", "e2110", "e2120", "e2130", "e2140",
                                         "e2150", "e2160", "e2170"}));
    }

    // A silent instrument: one message and no command, for either instrument. A value that cannot be
    // written: one message and not a byte.
    void silentUnitAndRefusedValue() {
        for (const auto kind : {InstrumentKind::Lumatrix, InstrumentKind::Quorvane}) {
            Station station(kind, QStringLiteral("never-wake"));
            QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
            defaultThenSetAll(station);
            station.checkSettled();
            QCOMPARE(station.answers.askedTexts(),
                     QStringList{kind == InstrumentKind::Lumatrix
                                     ? "Connection error: Lumatrix not connected!"
                                     : "Connection error: Quorvane not connected!"});
            QCOMPARE(commandLines(station), 0);
        }
        // Each refusal's text is the unit tests'; here not a byte reaches the unit.
        Station station(InstrumentKind::Lumatrix);
        QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
        station.click(QStringLiteral("cmdDefault"));
        station.window.model().scale(1, 3).end = QStringLiteral("+70.000");
        station.window.model().notifyChanged();
        station.click(QStringLiteral("cmdSetAll"));
        station.checkSettled();
        QCOMPARE(station.answers.asked.size(), std::size_t(1));
        QCOMPARE(station.sim.transcript().size(), std::size_t(0));
    }
};

QTEST_MAIN(SetAllEndToEnd)
#include "e2e_setall_test.moc"
