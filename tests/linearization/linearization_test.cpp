// The linearization table in virtual time: what reaches the line, what is refused before the first
// byte, a silent or stopped send, and the main window's part (grid keys, calculate, angle menu).

#include "../config/Rig.h"
#include "ScriptedAnswers.h"
#include "app/MainWindow.h"
#include "app/Session.h"
#include "formula/FormulaEvaluator.h"
#include "linearization/Linearization.h"

#include <QAction>
#include <QChartView>
#include <QDialog>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

using configtest::wake;
using linearization::Outcome;

namespace {

// The commands on the line, each checked to follow its own wake-up byte.
std::vector<std::string> commandsIn(const std::string& written) {
    std::vector<std::string> commands;
    std::size_t start = 0;
    for (std::size_t cr; (cr = written.find('\r', start)) != std::string::npos; start = cr + 1) {
        const std::string piece = written.substr(start, cr - start);
        commands.push_back(piece.starts_with(wake) ? piece.substr(1) : "no wake-up: " + piece);
    }
    return commands;
}

std::string point(int t, const std::string& sixDigits) {
    return "k00" + enc::hexRight(0x3000 + 4 * t, 4) + "2B" + sixDigits;
}

struct Rig : configtest::Rig {
    Rig(const QString& formula, int dp, int answeredWakeUps = -1)
        : configtest::Rig(config::InstrumentKind::Quorvane) {
        model.channel(1).formula = formula;
        model.channel(1).dp = dp;
        for (int i = 0; i < answeredWakeUps; ++i)
            port.on(wake).reply("!");
        if (answeredWakeUps < 0)
            port.answerWakeUps();
    }
    std::vector<std::string> commands() const { return commandsIn(port.written()); }
    std::string messages() const {
        std::string all;
        for (const auto& m : ui.messages)
            all += (all.empty() ? "" : " | ") + m.title + ": " + m.text;
        return all;
    }
    // Every operation ends with the panels unlocked, no progress window and the port closed.
    void checkSettled() const {
        QVERIFY(!ui.panelsLocked);
        QVERIFY(!port.isOpen());
        QCOMPARE(ui.calls.back(), std::string("unlockPanels"));
    }

    formula::FormulaEvaluator evaluator;
    linearization::Linearizer linearizer{model, link, evaluator, ui};
};

// The program as the user gets it, on the scripted port in virtual time.
struct Program {
    explicit Program(const QString& formula) {
        port.answerWakeUps();
        session.model().channel(1).formula = formula;
        session.model().channel(1).dp = 0;
        session.model().notifyChanged();
    }
    template <typename T = QWidget> T* find(const QString& name) { return window.findChild<T*>(name); }
    QTableView* grid() { return find<QTableView>(QStringLiteral("VarGrid")); }
    QString value(int row) { return grid()->model()->index(row, 2).data().toString(); }
    void type(int row, const QString& keys) {
        grid()->setCurrentIndex(grid()->model()->index(row, 0));
        QTest::keyClicks(grid(), keys);
    }
    // The preview, once it shows, is answered with its Send or Cancel button.
    void answerPreview(bool send) {
        QTimer::singleShot(0, &window, [this, send] {
            auto* preview = find<QDialog>(QStringLiteral("frmPreview"));
            if (!preview)
                return answerPreview(send);
            shownMaximum = preview->findChild<QLabel*>(QStringLiteral("lblPreviewMax"))->text();
            for (auto* series : preview->findChild<QChartView*>()->chart()->series())
                plotted = static_cast<int>(static_cast<QLineSeries*>(series)->count());
            preview->findChild<QPushButton*>(send ? QStringLiteral("cmdPreviewSend")
                                                  : QStringLiteral("cmdPreviewCancel"))
                ->click();
        });
    }
    std::vector<std::string> commands() const { return commandsIn(port.written()); }

    testsupport::ScriptedAnswers answers;
    testsupport::VirtualClock clock;
    testsupport::FakePort port{clock};
    app::Session session{config::InstrumentKind::Quorvane, port, clock};
    app::MainWindow& window = session.window();
    QString shownMaximum;
    int plotted = 0;
};

} // namespace

class LinearizationTest : public QObject {
    Q_OBJECT
private slots:
    void sendsTextThenEveryPoint_data() {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<int>("dp");
        QTest::addColumn<QString>("text"); // the 48 characters written
        QTest::addColumn<QStringList>("points"); // x = 0, 1 and 999
        const QString long49 = QStringLiteral("x+") + QString(46, '0') + QStringLiteral("5");
        QTest::newRow("constant: no variable, the x is in exp") << "exp(2)" << 2 << "exp(2)"
                                                                 << QStringList{"0002E3", "0002E3", "0002E3"};
        QTest::newRow("49 characters: text cut, table from all") << long49 << 0 << long49.left(48)
                                                                  << QStringList{"000005", "000006", "0003EC"};
        QTest::newRow("decimals 2: 1.234 is 123") << " 1.234+0*x " << 2 << "1.234+0*x"
                                                  << QStringList{"00007B", "00007B", "00007B"};
        QTest::newRow("decimals 0: halves to even") << "x+2.5" << 0 << "x+2.5"
                                                    << QStringList{"000002", "000004", "0003EA"};
        QTest::newRow("negative: 24-bit two's complement") << "x-10" << 0 << "x-10"
                                                           << QStringList{"FFFFF6", "FFFFF7", "0003DD"};
    }
    void sendsTextThenEveryPoint() {
        QFETCH(QString, formula);
        QFETCH(int, dp);
        QFETCH(QString, text);
        QFETCH(QStringList, points);
        Rig rig(formula, dp);
        QCOMPARE(rig.linearizer.setLinear(), Outcome::Sent);
        const auto commands = rig.commands();
        QCOMPARE(commands.size(), std::size_t(1012));
        const std::string stored = enc::fitCell(text.toStdString(), 48);
        for (int half = 0; half < 12; ++half)
            QCOMPARE(commands[half], "k00" + enc::hexRight(0x3FD0 + 4 * half, 4) +
                                         enc::textToHexPairs(stored.substr(4 * half, 4), 4));
        QCOMPARE(commands[12], point(0, points[0].toStdString()));
        QCOMPARE(commands[13], point(1, points[1].toStdString()));
        QCOMPARE(commands[1011], point(999, points[2].toStdString()));
        QCOMPARE(rig.messages(), std::string());
        // The linearisation boxes show the start of the text now in the instrument.
        const config::FlowChannel& a = rig.model.channel(1);
        QCOMPARE(a.a + a.k + a.t + a.zero, QString::fromStdString(enc::removeChars(stored.substr(0, 32), " ")));
        rig.checkSettled();
    }

    void refusedBeforeTheFirstByte_data() {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<int>("dp");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty box") << "" << 0 << "Missing Formula";
        QTest::newRow("no x in the text") << "1+2" << 0 << "Missing variable X";
        QTest::newRow("x only inside a name") << "exp(a)" << 0 << "Missing variable X";
        QTest::newRow("does not parse") << "x?1" << 0 << "Syntax error: x?1";
        QTest::newRow("fails at x = 5") << "1/(x-5)" << 0 << "Evaluation error < 1 / 0 > at pos: 2";
        QTest::newRow("beyond 24 bits") << "x*10000" << 0 << "Value out of range at x = 839";
        QTest::newRow("not a finite number once scaled") << "1e305*x" << 5 << "Value out of range at x = 1";
        QTest::newRow("no decimal point") << "x" << -1 << "Missing decimal point";
    }
    void refusedBeforeTheFirstByte() {
        QFETCH(QString, formula);
        QFETCH(int, dp);
        QFETCH(QString, message);
        Rig rig(formula, dp);
        QCOMPARE(rig.linearizer.setLinear(), Outcome::Stopped);
        QCOMPARE(rig.port.written(), std::string());
        QCOMPARE(rig.messages(), "Formula Error: " + message.toStdString());
        QCOMPARE(rig.ui.messages[0].icon, devlink::Icon::Information);
        QVERIFY(!rig.ui.panelsLocked);
        QVERIFY(!rig.model.variablesShown);
    }

    void asksForTheOtherVariablesThenSends() {
        Rig three(QStringLiteral("a*x+b"), 0);
        QCOMPARE(three.linearizer.setLinear(), Outcome::AskingValues);
        QCOMPARE(three.messages(), std::string("Formula Error: Please insert the value of the 2 variables"));
        const std::vector<config::FormulaVariable> rows{
            {" 1", "a", ""}, {" 2", "X", "1 to 1000"}, {" 3", "b", ""}};
        QCOMPARE(three.model.variables, rows);
        QVERIFY(three.model.variablesShown && three.linearizer.calcAllowed());

        Rig two(QStringLiteral("x*gain+12"), 0);
        QCOMPARE(two.linearizer.setLinear(), Outcome::AskingValues);
        QCOMPARE(two.linearizer.calc(), Outcome::Stopped); // typed and sent: the end-to-end test's
        QCOMPARE(two.messages(), std::string("Formula Error: Please insert the value of the variable | "
                                             "Formula Error: Missing value for variable gain"));
        QVERIFY(two.port.written().empty());
    }

    // One failed wake-up ends the send with one message (silent from the start: the end-to-end test).
    void silentAfterTwentyWrites() {
        Rig rig(QStringLiteral("x"), 0, 20);
        QCOMPARE(rig.linearizer.setLinear(), Outcome::NotConnected);
        QCOMPARE(rig.commands().size(), std::size_t(20));
        QCOMPARE(rig.messages(), std::string("Connection error: Quorvane not connected!"));
        QVERIFY(rig.ui.calls[rig.ui.calls.size() - 2] == "closeProgress 0");
        rig.checkSettled();
    }

    // ---- the main window's part

    void varGridKeyRules() {
        Program p(QStringLiteral("x*gain+12"));
        p.find<QPushButton>(QStringLiteral("cmdSetLinear"))->click();
        QVERIFY(p.find(QStringLiteral("FrameVariables"))->isVisibleTo(&p.window));
        p.type(1, QStringLiteral(".a-1.2x3456789"));   // "." into an empty cell, letters and signs ignored
        QCOMPARE(p.value(1), QStringLiteral("1.234567")); // eight characters at most
        QTest::keyClick(p.grid(), Qt::Key_Backspace);
        QCOMPARE(p.value(1), QStringLiteral("1.23456"));
        p.grid()->setCurrentIndex(p.grid()->model()->index(1, 1)); // any column edits the value
        for (int i = 0; i < 9; ++i)
            QTest::keyClick(p.grid(), Qt::Key_Backspace);
        QCOMPARE(p.value(1), QString());
        p.type(0, QStringLiteral("5"));
        QTest::keyClick(p.grid(), Qt::Key_Backspace);
        QCOMPARE(p.value(0), QStringLiteral("1 to 1000")); // the x row is not edited
    }

    void calcFollowsTheEvaluatorAndLocks() {
        Program p(QStringLiteral("x*gain"));
        auto* calc = p.find<QPushButton>(QStringLiteral("cmdCalc"));
        auto* setLinear = p.find<QPushButton>(QStringLiteral("cmdSetLinear"));
        setLinear->click();
        QVERIFY(calc->isEnabled());
        p.session.model().channel(1).formula = QStringLiteral("x*gain?");
        setLinear->click(); // a failed re-check: the grid no longer shows what the evaluator holds
        QVERIFY(!p.find(QStringLiteral("FrameVariables"))->isVisibleTo(&p.window));
        QVERIFY(!calc->isEnabled());

        p.session.model().channel(1).formula = QStringLiteral("x*gain");
        setLinear->click();
        p.type(1, QStringLiteral("3"));
        bool lockedDuringSend = true;
        p.clock.onYield = [&] {
            lockedDuringSend = lockedDuringSend && !calc->isEnabled() && p.window.operationRunning();
        };
        p.answerPreview(true);
        calc->click();
        QVERIFY(lockedDuringSend);
        QCOMPARE(p.commands().back(), point(999, "000BB5"));
        QCOMPARE(p.plotted, 1000);
        QCOMPARE(p.shownMaximum, QStringLiteral("Largest point: 2997 at x = 999"));
        QVERIFY(!p.window.operationRunning() && !calc->isEnabled());
    }

    void angleMenuSetsTheEvaluatorsUnit() {
        Program p(QStringLiteral("sin(90)*1000+0*x"));
        for (const auto& [menu, expected] : {std::pair{"mnuRadians", "00037E"}, std::pair{"mnuDegrees", "0003E8"}}) {
            p.find<QAction>(QString::fromLatin1(menu))->trigger();
            p.answerPreview(true);
            p.find<QPushButton>(QStringLiteral("cmdSetLinear"))->click();
            QCOMPARE(p.commands().back(), point(999, expected));
        }
        QVERIFY(p.find<QAction>(QStringLiteral("mnuDegrees"))->isChecked());
        QVERIFY(!p.find<QAction>(QStringLiteral("mnuRadians"))->isChecked());
    }

    // The preview's Cancel is the end-to-end test's.
    void progressCancel() {
        Program p(QStringLiteral("x-10"));
        p.clock.onYield = [&] {
            if (p.commands().size() == 40)
                if (auto* cancel = p.find<QPushButton>(QStringLiteral("cmdProgressCancel")))
                    cancel->click();
        };
        p.answerPreview(true);
        p.find<QPushButton>(QStringLiteral("cmdSetLinear"))->click();
        QCOMPARE(p.commands().size(), std::size_t(41)); // the write in progress ends first
        QCOMPARE(p.answers.askedTexts().last(), QStringLiteral("Setting linearization data: Sending stopped: the "
                                                               "linearization table in the Quorvane is incomplete."));
        QVERIFY(!p.window.operationRunning() && !p.port.isOpen());
        QVERIFY(p.find(QStringLiteral("FrameSetInto"))->isEnabled());
    }
};

QTEST_MAIN(LinearizationTest)
#include "linearization_test.moc"
