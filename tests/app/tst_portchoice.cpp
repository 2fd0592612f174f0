// Port choice by comport(i) and cmbPort: the open-and-close test, the messages, and the fallback to Com 1.
#include "Fakes.h"

#include <QtTest>
#include <QtWidgets>

using devlink::OpenStatus;

class PortChoiceTest : public QObject {
    Q_OBJECT
private slots:
    void startsOnComOneWithTheListOff();
    void choosing_data();
    void choosing();
};

namespace {

QRadioButton* comport(testing::Fixture& f, int i) {
    return f.get<QRadioButton>(QStringLiteral("comport(%1)").arg(i));
}

} // namespace

void PortChoiceTest::startsOnComOneWithTheListOff() {
    testing::Fixture f;
    auto* list = f.get<QComboBox>("cmbPort");
    QVERIFY(comport(f, 1)->isChecked() && f.window.model().portNumber == 1);
    QVERIFY(!list->isEnabled() && list->currentIndex() == -1 && list->count() == 251);
    QCOMPARE(list->itemText(0) + ".." + list->itemText(250), QString("Com 5..Com 255"));
    QVERIFY(f.port.opened.empty()); // nothing is tested before the user chooses
    // The device behind each number is shown, since on Linux the number alone says little.
    QCOMPARE(comport(f, 2)->toolTip() + list->itemData(0, Qt::ToolTipRole).toString(),
             "/dev/fake2/dev/fake5");
    comport(f, 3)->click();
    QVERIFY(f.window.statusBar()->currentMessage().contains("/dev/fake3"));
}

using Statuses = QMap<int, OpenStatus>;
Q_DECLARE_METATYPE(Statuses)

void PortChoiceTest::choosing_data() {
    QTest::addColumn<Statuses>("statuses");
    QTest::addColumn<int>("chosen"); // 1..4 by its option, from 5 on "Other" then the list
    QTest::addColumn<int>("port");   // where the choice rests
    QTest::addColumn<QList<int>>("opened");
    QTest::addColumn<QString>("messages"); // the texts shown, joined by "|", as a pattern
    const QString invalid = "The port is not valid";
    const auto Invalid = OpenStatus::InvalidPort;
    QTest::newRow("existing port, without a word") << Statuses{} << 3 << 3 << QList<int>{3} << "";
    QTest::newRow("Other then first list item") << Statuses{} << 5 << 5 << QList<int>{5} << "";
    QTest::newRow("invalid port") << Statuses{{3, Invalid}} << 3 << 1 << QList<int>{3, 1} << invalid;
    QTest::newRow("invalid, Com 1 missing too")
        << Statuses{{1, Invalid}, {4, Invalid}} << 4 << 1 << QList<int>{4, 1} << invalid + "\\|" + invalid;
    QTest::newRow("missing Com 1 itself warns once")
        << Statuses{{1, Invalid}} << 1 << 1 << QList<int>{1} << invalid;
    QTest::newRow("invalid list item") << Statuses{{7, Invalid}} << 7 << 1 << QList<int>{7, 1} << invalid;
    QTest::newRow("permission told apart") << Statuses{{2, OpenStatus::AccessDenied}} << 2 << 1
                                           << QList<int>{2, 1} << "Com 2 \\(/dev/fake2\\) exists.*dialout.*";
    QTest::newRow("other open errors are silent")
        << Statuses{{2, OpenStatus::Failed}} << 2 << 2 << QList<int>{2} << "";
}

void PortChoiceTest::choosing() {
    QFETCH(Statuses, statuses);
    QFETCH(int, chosen);
    QFETCH(int, port);
    QFETCH(QList<int>, opened);
    QFETCH(QString, messages);
    testing::Fixture f;
    f.port.results = statuses;
    auto* list = f.get<QComboBox>("cmbPort");
    if (chosen >= 5) {
        comport(f, 0)->click();
        QVERIFY(list->isEnabled() && f.port.opened.empty()); // "Other" alone opens nothing
        list->setCurrentIndex(chosen - 5);
        emit list->activated(chosen - 5);
    } else {
        comport(f, chosen)->click();
    }

    QVERIFY(f.window.model().portNumber == port && comport(f, port < 5 ? port : 0)->isChecked());
    QVERIFY(list->isEnabled() == (port >= 5) && list->currentIndex() == (port >= 5 ? port - 5 : -1));
    QVERIFY(f.port.opened == opened && !f.port.isOpen());
    QStringList texts;
    for (const app::MessageRequest& r : f.asked) {
        texts << r.text;
        QVERIFY(r.title == "Serial port" && r.icon == devlink::Icon::Critical &&
                r.buttons == devlink::Buttons::Ok);
    }
    const QRegularExpression pattern(QRegularExpression::anchoredPattern(messages),
                                     QRegularExpression::DotMatchesEverythingOption);
    QVERIFY2(pattern.match(texts.join('|')).hasMatch(), qPrintable(texts.join('|')));
}

QTEST_MAIN(PortChoiceTest)
#include "tst_portchoice.moc"
