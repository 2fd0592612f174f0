// The scale grids edited key by key through real key events, one rule per column, and by nothing
// else.
#include "ConfigRig.h"

#include <QtTest>
#include <QtWidgets>

using filestest::Program;

class GridEditingTest : public QObject {
    Q_OBJECT

private slots:
    void keyRules() {
        const QString micro = QString(";,") + QChar(0xB5);
        // Gain slot, column (0 decimal point .. 4 unit), text before, keys ("\b" Backspace, "\r" Return),
        // after.
        const struct {
            int gain, column;
            QString before, keys, after;
        } table[] = {
            {2, 0, "3", "5", "5"},
            {2, 0, "3", "7", "3"},
            {3, 1, "", "1", ""}, // a sign first
            {8, 2, "", "-1234567", "-12345"},
            {8, 2, "", "+-0.5", "+05"}, // a sign first only
            {4, 2, "+01000", "\b", ""},
            {4, 1, "-05.000", "\b+05000", "+05000"},
            {5, 3, "", "GN 23", "GN 2"},
            {5, 4, "", micro, micro},
            {5, 4, "m", QString(QChar(0x20AC)), "m"},
            {5, 4, "m", "\r", "m"}, // Latin-1 and printable only
            {1, 3, "", "AB\b", ""},
            {1, 0, "3", "\b5", "3"}, // the factory scale never changes
        };
        Program p;
        auto* view = p.get<QTableView>("DataGrid(3)");
        QString config::Scale::*const columns[] = {&config::Scale::decimalPoint, &config::Scale::start,
                                                   &config::Scale::end, &config::Scale::label,
                                                   &config::Scale::unit};
        for (const auto& row : table) {
            QString& cell = p.model().scale(4, row.gain).*columns[row.column];
            cell = row.before;
            view->setCurrentIndex(view->model()->index(row.gain - 1, row.column));
            for (QChar c : row.keys) {
                if (c == '\b' || c == '\r') {
                    QTest::keyClick(view, c == '\b' ? Qt::Key_Backspace : Qt::Key_Return);
                } else { // as a keyboard layout delivers it: QTest spells only Latin-1
                    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
                    QApplication::sendEvent(view, &press);
                }
            }
            QCOMPARE(cell, row.after);
            QCOMPARE(view->currentIndex().data().toString(), row.after);
        }
    }

    void nothingElseEditsACell() {
        Program p;
        auto* view = p.get<QTableView>("DataGrid(0)");
        p.session.window().show();
        config::Scale& scale = p.model().scale(1, 3);
        scale = {"3", "+1", "+2", "GN 3", "V"};
        p.model().notifyChanged();
        const QModelIndex start = view->model()->index(2, 1);
        view->setCurrentIndex(start);

        // No cell editor, no paste, and a letter never jumps to a cell that starts with it.
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(start).center());
        QTest::keyClick(view, Qt::Key_F2);
        QVERIFY(!view->indexWidget(start) && !view->viewport()->findChild<QLineEdit*>());
        QApplication::clipboard()->setText("+99999");
        QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(view, Qt::Key_G);
        QCOMPARE(view->currentIndex(), start);
        QVERIFY((scale == config::Scale{"3", "+1", "+2", "GN 3", "V"}));

        // The arrows still move about; while an operation runs no key changes a cell.
        QTest::keyClick(view, Qt::Key_Right);
        QCOMPARE(view->currentIndex(), view->model()->index(2, 2));
        p.session.window().runLocked([&] { QTest::keyClick(view, Qt::Key_Backspace); });
        QCOMPARE(scale.end, QString("+2"));
    }
};

QTEST_MAIN(GridEditingTest)
#include "grid_editing_test.moc"
