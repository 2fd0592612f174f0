#include "config/ConfigModel.h"

#include <QSignalSpy>
#include <QTest>

using config::ConfigModel;
using config::InstrumentKind;

class ConfigModelTest : public QObject {
    Q_OBJECT
private slots:
    void startsAsAFreshWindowWould();
    void factoryRowsHoldTheFixedScales();
    void clearingLeavesScalesPresetsRatesAndClockAlone();
    void scaleNumbersAndPresets();
    void changeNotification();
};

void ConfigModelTest::startsAsAFreshWindowWould() {
    for (InstrumentKind kind : {InstrumentKind::Lumatrix, InstrumentKind::Quorvane}) {
        ConfigModel m(kind);
        QCOMPARE(m.instrumentKind, kind);
        QCOMPARE(m.portNumber, 1);
        QCOMPARE(m.nextBlock, 9999);
        QVERIFY(m.nextBlockText.isEmpty());
        QVERIFY(!m.configRead);
        QVERIFY(!m.serviceUnlocked);
        QVERIFY(m.fixedRangeCode.isEmpty());
        QCOMPARE(m.rateIndex, -1);
        for (int i = 1; i <= 2; ++i) {
            QCOMPARE(m.channel(i).dp, -1);
            QCOMPARE(m.channel(i).dpAD, -1);
            QCOMPARE(m.channel(i).dpTOT, -1);
        }
        for (int k = 1; k <= 4; ++k)
            QVERIFY(!m.preset(k).range && !m.preset(k).gain);
        // Only the factory row is filled.
        for (int r = 1; r <= 6; ++r)
            for (int g = 2; g <= 8; ++g)
                QCOMPARE(m.scale(r, g), config::Scale{});
    }
}

void ConfigModelTest::factoryRowsHoldTheFixedScales() {
    ConfigModel m;
    QCOMPARE(m.scale(1, 1), (config::Scale{"3", "-05.000", "+05.000", "", "V"}));
    QCOMPARE(m.scale(3, 1), (config::Scale{"2", "-200.00", "+200.00", "", "mV"}));
    QCOMPARE(m.scale(5, 1), (config::Scale{"4", "-2.0000", "+2.0000", "", "mV/V"}));
    QCOMPARE(m.scale(6, 1), (config::Scale{"3", "+00.000", "+20.000", "", "mA"}));
    // Every factory start and end fits the pattern of its decimal point: sign, five digits, point.
    for (int r = 1; r <= 6; ++r) {
        const config::Scale s = m.scale(r, 1);
        const int dp = s.decimalPoint.toInt();
        for (const QString& v : {s.start, s.end}) {
            QCOMPARE(v.size(), 7);
            QCOMPARE(v.indexOf('.'), 6 - dp);
        }
    }
    m.scale(2, 1).unit = "XX";
    m.setFactoryRows();
    QCOMPARE(m.scale(2, 1).unit, QString("V"));
    QCOMPARE(config::rangeName(1), QString("5V"));
    QCOMPARE(config::rangeName(6), QString("4-20mA"));
    QVERIFY(config::rangeName(7).isEmpty());
}

void ConfigModelTest::clearingLeavesScalesPresetsRatesAndClockAlone() {
    ConfigModel m(InstrumentKind::Quorvane);
    m.scale(2, 5).label = "TEMP";
    m.preset(3) = {2, 5};
    m.rateIndex = 4;
    m.lumatrixRateIndex = 7;
    m.date = "01-02-03";
    m.time = "10:11:12";
    m.text1 = "keep\r\n";
    for (int i = 1; i <= 2; ++i) {
        config::FlowChannel& c = m.channel(i);
        c.startScale = c.endScale = c.label = c.unitAD = c.formula = c.factor = c.offset = c.unit = "x";
        c.convTOT = c.unitTOT = c.a = c.k = c.t = c.zero = "y";
        c.dp = c.dpAD = c.dpTOT = 3;
    }

    m.clearConfigFields();

    for (int i = 1; i <= 2; ++i)
        QCOMPARE(m.channel(i), config::FlowChannel{});
    QCOMPARE(m.scale(2, 5).label, QString("TEMP"));
    QCOMPARE(m.preset(3), (config::Preset{2, 5}));
    QCOMPARE(m.rateIndex, 4);
    QCOMPARE(m.lumatrixRateIndex, 7);
    QCOMPARE(m.date, QString("01-02-03"));
    QCOMPARE(m.time, QString("10:11:12"));
    QCOMPARE(m.text1, QString("keep\r\n"));
}

void ConfigModelTest::scaleNumbersAndPresets() {
    QCOMPARE(config::scaleNumber(1, 1), 1);
    QCOMPARE(config::scaleNumber(2, 1), 9);
    QCOMPARE(config::scaleNumber(6, 8), 48);
    config::Preset half{3, std::nullopt};
    QVERIFY(!half.assigned());
    half = {std::nullopt, 4};
    QVERIFY(!half.assigned());
    QVERIFY((config::Preset{3, 4}.assigned()));
}

void ConfigModelTest::changeNotification() {
    ConfigModel m;
    QSignalSpy spy(&m, &ConfigModel::changed);
    m.scale(1, 2).label = "AB";
    QCOMPARE(spy.count(), 0); // filling is silent; one notification per batch
    m.notifyChanged();
    QCOMPARE(spy.count(), 1);
}

QTEST_GUILESS_MAIN(ConfigModelTest)
#include "tst_configmodel.moc"
