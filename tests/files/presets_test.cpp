// Keypad presets: the box rule, Get and Send byte for byte against a scripted instrument in virtual
// time, and the boxes of the preset window.

#include "../config/Rig.h"
#include "app/Session.h"
#include "files/PresetWindow.h"
#include "files/Presets.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using configtest::Rig;
using configtest::wake;
using writing::RegisterResult;

namespace {

QString commands(const Rig& rig) {
    QStringList out;
    for (const QString& piece : QString::fromLatin1(rig.port.written()).split(QChar(0x80)))
        for (const QString& line : piece.split(u'\r', Qt::SkipEmptyParts))
            out << line;
    return out.join(u' ');
}

// A "B10" reply of the registers 10..1F.
const std::string fullReply = "00 01 02 01 04 01 0F 0F 00 01 02 01 00 00 00 00 \r";

} // namespace

class PresetsTest : public QObject {
    Q_OBJECT

private slots:
    void numbers() {
        // The box rule: whole numbers limited to 1..48, anything else is no number.
        const struct {
            const char* typed;
            const char* shown; // nullptr: the box goes back to its last valid text
        } rule[] = {{"60", "48"}, {"0", "1"}, {"-5", "1"}, {"007", "7"}, {"+12", "12"}, {"99999999999", "48"},
                    {"a", nullptr}, {"2.5", nullptr}, {"1e1", nullptr}, {"-", nullptr}, {"+", nullptr}};
        for (const auto& r : rule) {
            const std::optional<QString> shown = files::presetBoxNumber(QString::fromLatin1(r.typed));
            QCOMPARE(shown.has_value(), r.shown != nullptr);
            if (shown)
                QCOMPARE(*shown, QString::fromLatin1(r.shown));
        }
    }

    void send_data() {
        QTest::addColumn<QString>("fixed");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("sent"); // or the refusal
        QTest::newRow("P1 twice, P4 once") << "0" << QStringList{"17", "", "", "17"}
                                           << "b1002 b1100 b1802 b1900 b1602 b1700";
        QTest::newRow("inside the fixed range") << "3" << QStringList{"17", "24", "", ""}
                                                << "b1002 b1100 b1802 b1900 b1202 b1307 b1A02 b1B07";
        QTest::newRow("outside the fixed range") << "3" << QStringList{"17", "25", "", ""}
                                                 << "P2 value is not inside the scale 200mV";
        QTest::newRow("decimals") << "0" << QStringList{"", "", "2.5", ""} << "P3 value must be a scale number from 1 to 48";
        QTest::newRow("converter type unknown") << "" << QStringList{"1", "", "", ""}
                                                << "The converter type of the unit is unknown: open this window again";
    }

    void send() {
        QFETCH(QString, fixed);
        QFETCH(QStringList, boxes);
        QFETCH(QString, sent);
        Rig rig;
        rig.wakeUps("");
        rig.model.fixedRangeCode = fixed;
        const std::array<QString, 4> texts{boxes[0], boxes[1], boxes[2], boxes[3]};
        const RegisterResult result = files::sendPresets(rig.model, rig.link, texts);
        if (result == RegisterResult::Refused) {
            QVERIFY(rig.port.written().empty());
            QCOMPARE(rig.calls(), "message Px Setting error: " + sent.toStdString());
            return;
        }
        QCOMPARE(result, RegisterResult::Sent);
        QCOMPARE(commands(rig), sent);
        QCOMPARE(rig.ui.calls.front(), std::string("lockPanels"));
        QCOMPARE(rig.ui.calls.back(), std::string("unlockPanels"));
        QCOMPARE(rig.count("closeProgress 1"), 1);
        // Send writes the boxes only; the model's presets come from Get.
        QVERIFY(!rig.model.preset(1).assigned());
    }

    void silences() {
        Rig rig;
        rig.wakeUps("yynn");
        rig.model.fixedRangeCode = "0";
        QCOMPARE(files::sendPresets(rig.model, rig.link, {"9", "10", "11", "12"}),
                 RegisterResult::NotConnected);
        QCOMPARE(commands(rig), QString("b1001 b1100"));
        QCOMPARE(rig.ui.messages.size(), std::size_t(1));
        QVERIFY(!rig.port.isOpen());
        QCOMPARE(rig.ui.calls.back(), std::string("unlockPanels"));

        // Get from an unplugged unit: one wake-up byte, one message.
        Rig silent;
        silent.port.on(wake).repeat();
        QCOMPARE(files::getPresets(silent.model, silent.link), config::QueryResult::NotConnected);
        QCOMPARE(silent.port.written(), wake);
        QCOMPARE(silent.ui.messages.size(), std::size_t(1));
    }

    void get_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("presets"); // P1..P4 as scale numbers, "-" unassigned; "kept": unchanged
        QTest::newRow("all four") << QString::fromStdString(fullReply) << "2 18 34 -";
        QTest::newRow("range digit F") << "0F 01 02 01 04 01 0F 0F 00 01 02 01 \r" << "- 18 34 -";
        QTest::newRow("digits naming nothing") << "09 01 02 08 04 01 0F 0F 00 01 02 01 \r" << "- - 34 -";
        QTest::newRow("cut short") << "00 01 02 01 04 01 0F 0\r" << "kept"; // 22 characters
        QTest::newRow("silent after the wake-up") << "" << "kept";
    }

    void get() {
        QFETCH(QString, reply);
        QFETCH(QString, presets);
        Rig rig;
        rig.wakeUps("");
        if (!reply.isEmpty())
            rig.port.onCommand("B10").reply(reply.toStdString());
        rig.model.preset(1) = {6, 8};
        const config::QueryResult result = files::getPresets(rig.model, rig.link);
        QCOMPARE(commands(rig), QString("B10"));
        QStringList shown;
        for (int k = 1; k <= 4; ++k) {
            const QString n = files::presetBoxText(rig.model.preset(k));
            shown << (n.isEmpty() ? "-" : n);
        }
        if (presets == "kept") {
            QCOMPARE(result, config::QueryResult::NoAnswer);
            QCOMPARE(shown.join(u' '), QString("48 - - -"));
        } else {
            QCOMPARE(result, config::QueryResult::Answered);
            QCOMPARE(shown.join(u' '), presets);
        }
        QVERIFY(rig.ui.messages.empty());
        QCOMPARE(rig.calls().substr(0, 10), std::string("lockPanels"));
    }

    // The window: each box keeps its own last valid text.
    void windowBoxes() {
        testsupport::VirtualClock clock;
        testsupport::FakePort port{clock};
        app::Session session(config::InstrumentKind::Lumatrix, port, clock);
        session.model().preset(1) = {1, 7};
        files::PresetWindow window(session, &session.mainWindow());
        auto box = [&](int k) { return window.findChild<QLineEdit*>(QStringLiteral("txtPx(%1)").arg(k)); };
        QCOMPARE(box(1)->text(), QString("7"));

        box(2)->setText("5");
        box(2)->setText("5x");
        QCOMPARE(box(2)->text(), QString("5")); // not P1's 7
        box(3)->setText("x");
        QCOMPARE(box(3)->text(), QString()); // nothing valid typed there yet

        // Get locks the window's traffic buttons with the main window's frames, then refills the boxes.
        port.answerWakeUps();
        port.onCommand("B10").reply(fullReply);
        auto* send = window.findChild<QPushButton*>(QStringLiteral("cmdSend"));
        bool locked = false;
        clock.onYield = [&] { locked = locked || !send->isEnabled(); };
        window.findChild<QPushButton*>(QStringLiteral("cmdGet"))->click();
        QVERIFY(locked && send->isEnabled());
        QCOMPARE(box(1)->text() + box(2)->text() + box(3)->text() + box(4)->text(), QString("21834"));
    }
};

QTEST_MAIN(PresetsTest)
#include "presets_test.moc"
