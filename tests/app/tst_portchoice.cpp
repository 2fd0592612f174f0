#include "Fakes.h"
#include "app/MainWindow.h"

#include <QComboBox>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>

using devlink::OpenStatus;

class PortChoiceTest : public QObject {
    Q_OBJECT
private slots:
    void startsOnComOneWithTheListOff();
    void otherThenFirstListItemGivesPortFive();
    void existingPortIsOpenedAndClosedWithoutAWord();
    void invalidPortFallsBackToComOne();
    void invalidPortWithComOneMissingWarnsTwice();
    void invalidListItemFallsBackAndClearsTheList();
    void permissionFailureIsToldApart();
    void otherOpenErrorsAreSilent();
    void deviceOfAPortIsShown();
};

namespace {

struct Fixture {
    testing::FakePort port;
    testing::ScriptedAnswers answers;
    app::MainWindow window{config::InstrumentKind::Lumatrix, port};

    QRadioButton* comport(int i) {
        return window.findChild<QRadioButton*>(QStringLiteral("comport(%1)").arg(i));
    }
    QComboBox* list() { return window.findChild<QComboBox*>("cmbPort"); }
    void pickListItem(int index) {
        list()->setCurrentIndex(index);
        emit list()->activated(index);
    }
};

} // namespace

void PortChoiceTest::startsOnComOneWithTheListOff() {
    Fixture f;
    QVERIFY(f.comport(1)->isChecked());
    QVERIFY(!f.list()->isEnabled());
    QCOMPARE(f.list()->currentIndex(), -1);
    QCOMPARE(f.list()->count(), 251);
    QCOMPARE(f.list()->itemText(0), QString("Com 5"));
    QCOMPARE(f.list()->itemText(250), QString("Com 255"));
    QCOMPARE(f.window.model().portNumber, 1);
    QVERIFY(f.port.opened.empty()); // nothing is tested before the user chooses
    QCOMPARE(f.comport(0)->text(), QString("Other"));
    QCOMPARE(f.comport(4)->text(), QString("Com 4"));
}

void PortChoiceTest::otherThenFirstListItemGivesPortFive() {
    Fixture f;
    f.comport(0)->click();
    QVERIFY(f.list()->isEnabled());
    QVERIFY(f.port.opened.empty()); // "Other" alone opens nothing
    f.pickListItem(0);
    QCOMPARE(f.window.model().portNumber, 5);
    QCOMPARE(f.port.opened, std::vector<int>{5});
    QVERIFY(!f.port.isOpen());
    QVERIFY(f.answers.asked.empty());
    QVERIFY(f.comport(0)->isChecked());
    QCOMPARE(f.list()->currentIndex(), 0);
}

void PortChoiceTest::existingPortIsOpenedAndClosedWithoutAWord() {
    Fixture f;
    f.comport(3)->click();
    QCOMPARE(f.window.model().portNumber, 3);
    QCOMPARE(f.port.opened, std::vector<int>{3});
    QCOMPARE(f.port.closes, 1);
    QVERIFY(!f.port.isOpen());
    QVERIFY(!f.list()->isEnabled());
    QVERIFY(f.answers.asked.empty());
}

void PortChoiceTest::invalidPortFallsBackToComOne() {
    Fixture f;
    f.port.results[3] = OpenStatus::InvalidPort;
    f.comport(3)->click();
    QCOMPARE(f.answers.asked.size(), size_t(1));
    QCOMPARE(f.answers.asked[0].text, QString("The port is not valid"));
    QCOMPARE(f.answers.asked[0].title, QString("Serial port"));
    QCOMPARE(f.answers.asked[0].icon, devlink::Icon::Critical);
    QCOMPARE(f.answers.asked[0].buttons, devlink::Buttons::Ok);
    QVERIFY(f.comport(1)->isChecked());
    QCOMPARE(f.window.model().portNumber, 1);
    QCOMPARE(f.port.opened, (std::vector<int>{3, 1}));
    QVERIFY(!f.port.isOpen());
}

void PortChoiceTest::invalidPortWithComOneMissingWarnsTwice() {
    Fixture f;
    f.port.results[1] = OpenStatus::InvalidPort;
    f.port.results[4] = OpenStatus::InvalidPort;
    f.comport(4)->click();
    QCOMPARE(f.answers.asked.size(), size_t(2));
    QCOMPARE(f.answers.asked[1].text, QString("The port is not valid"));
    QVERIFY(f.comport(1)->isChecked());
    QCOMPARE(f.window.model().portNumber, 1);

    // Clicking the missing Com 1 itself warns once and stays there.
    f.answers.asked.clear();
    f.comport(1)->click();
    QCOMPARE(f.answers.asked.size(), size_t(1));
    QVERIFY(f.comport(1)->isChecked());
}

void PortChoiceTest::invalidListItemFallsBackAndClearsTheList() {
    Fixture f;
    f.port.results[7] = OpenStatus::InvalidPort;
    f.comport(0)->click();
    f.pickListItem(2);
    QCOMPARE(f.answers.asked.size(), size_t(1));
    QVERIFY(f.comport(1)->isChecked());
    QCOMPARE(f.list()->currentIndex(), -1);
    QVERIFY(!f.list()->isEnabled());
    QCOMPARE(f.window.model().portNumber, 1);
    QCOMPARE(f.port.opened, (std::vector<int>{7, 1}));
}

void PortChoiceTest::permissionFailureIsToldApart() {
    Fixture f;
    f.port.results[2] = OpenStatus::AccessDenied;
    f.comport(2)->click();
    QCOMPARE(f.answers.asked.size(), size_t(1));
    const app::MessageRequest& r = f.answers.asked[0];
    QVERIFY(r.text != QString("The port is not valid"));
    QVERIFY(r.text.contains("/dev/fake2"));
    QVERIFY(r.text.contains("dialout"));
    QCOMPARE(r.title, QString("Serial port"));
    QVERIFY(f.comport(1)->isChecked());
    QCOMPARE(f.window.model().portNumber, 1);
}

void PortChoiceTest::otherOpenErrorsAreSilent() {
    Fixture f;
    f.port.results[2] = OpenStatus::Failed;
    f.comport(2)->click();
    QVERIFY(f.answers.asked.empty());
    QVERIFY(f.comport(2)->isChecked());
    QCOMPARE(f.window.model().portNumber, 2);
    QVERIFY(!f.port.isOpen());
}

void PortChoiceTest::deviceOfAPortIsShown() {
    Fixture f;
    QCOMPARE(f.comport(2)->toolTip(), QString("/dev/fake2"));
    QCOMPARE(f.list()->itemData(0, Qt::ToolTipRole).toString(), QString("/dev/fake5"));
    f.comport(3)->click();
    QVERIFY(f.window.statusBar()->currentMessage().contains("/dev/fake3"));
}

QTEST_MAIN(PortChoiceTest)
#include "tst_portchoice.moc"
