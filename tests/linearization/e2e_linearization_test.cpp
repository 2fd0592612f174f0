// The linearization table against the emulated flow unit, through the program's own windows: a
// formula with one more variable written whole and read back, and the cases that send nothing.

#include "Station.h"
#include "link/Link.h"

#include <QPushButton>
#include <QTimer>

using config::InstrumentKind;

namespace {

// The preview, once it shows, is answered with its Send or Cancel button.
void answerPreview(QWidget& window, bool send) {
    QTimer::singleShot(10, &window, [&window, send] {
        auto* preview = window.findChild<QDialog*>(QStringLiteral("frmPreview"));
        if (!preview)
            return answerPreview(window, send);
        preview->findChild<QPushButton*>(send ? QStringLiteral("cmdPreviewSend") : QStringLiteral("cmdPreviewCancel"))
            ->click();
    });
}

QString point(int t, const char* sixDigits) {
    return QStringLiteral("k00") + QString::number(0x3000 + 4 * t, 16).toUpper() + QStringLiteral("2B") +
           QLatin1String(sixDigits);
}

} // namespace

class LinearizationEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void formulaWithOneMoreVariableWrittenAndReadBack() {
        e2e::Station station(InstrumentKind::Quorvane);
        QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
        const QString formula = QStringLiteral("0.75*x+level");
        station.setText(QStringLiteral("txtFormula"), formula);
        station.window.findChild<QComboBox*>(QStringLiteral("cmbDP(1)"))->setCurrentIndex(1);

        station.click(QStringLiteral("cmdSetLinear"));
        QCOMPARE(station.answers.askedTexts(),
                 QStringList{QStringLiteral("Formula Error: Please insert the value of the variable")});
        auto* grid = station.window.findChild<QTableView*>(QStringLiteral("VarGrid"));
        grid->setCurrentIndex(grid->model()->index(1, 2));
        QTest::keyClicks(grid, QStringLiteral("12.5"));
        answerPreview(station.window, true);
        station.click(QStringLiteral("cmdCalc"));
        station.checkSettled();
        QCOMPARE(station.answers.asked.size(), std::size_t(1));

        // Each point lands where it was written: 7.5 x + 125, halves to even.
        devlink::Link& link = station.session.link();
        QCOMPARE(QString::fromStdString(link.exchangeBuffered(devlink::Exchange::memoryRead("C003000")).text).left(36),
                 QStringLiteral("2B 00 00 7D 2B 00 00 84 2B 00 00 8C "));
        station.setText(QStringLiteral("txtFormula"), QString());
        station.click(QStringLiteral("cmdReadConfig"));
        QCOMPARE(station.text(QStringLiteral("txtFormula")), formula);
        station.checkSettled();

        const QStringList commands = station.commands();
        QVERIFY2(commands.size() > 1012 + 2, qPrintable(commands.join(' ')));
        QCOMPARE(commands[0], QStringLiteral("k003FD0302E3735")); // "0.75"
        QCOMPARE(commands[11], QStringLiteral("k003FFC20202020"));
        for (int t = 0; t < 1000; ++t)
            QVERIFY2(commands[12 + t].startsWith(point(t, "")), qPrintable(commands[12 + t]));
        QCOMPARE(commands[12 + 3], point(3, "000094"));
        QCOMPARE(commands[12 + 999], point(999, "001DC2"));
        QCOMPARE(commands[1012], QStringLiteral("C003000")); // nothing else went out before the reads
    }

    void nothingSentUntilEveryPointIsGood() {
        e2e::Station station(InstrumentKind::Quorvane, QStringLiteral("never-wake"));
        QVERIFY2(station.sim.started(), qPrintable(station.sim.error()));
        station.window.findChild<QComboBox*>(QStringLiteral("cmbDP(1)"))->setCurrentIndex(0);
        station.setText(QStringLiteral("txtFormula"), QStringLiteral("1/(x-5)"));
        station.click(QStringLiteral("cmdSetLinear"));
        station.setText(QStringLiteral("txtFormula"), QStringLiteral("x"));
        answerPreview(station.window, false);
        station.click(QStringLiteral("cmdSetLinear"));
        answerPreview(station.window, true);
        station.click(QStringLiteral("cmdSetLinear"));
        QCOMPARE(station.answers.askedTexts(),
                 (QStringList{QStringLiteral("Formula Error: Evaluation error < 1 / 0 > at pos: 2"),
                              QStringLiteral("Connection error: Quorvane not connected!")}));
        station.checkSettled();
        station.sim.stop();
        const auto transcript = station.sim.transcript();
        QCOMPARE(transcript.size(), std::size_t(1)); // one unanswered wake-up byte, no command
        QCOMPARE(transcript[0].what, QStringLiteral("<80>"));
    }
};

QTEST_MAIN(LinearizationEndToEnd)
#include "e2e_linearization_test.moc"
