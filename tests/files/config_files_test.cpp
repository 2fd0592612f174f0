// The configuration files: the ".lmx" record layout and its loader, the ".xml" document and its loader,
// both saved and loaded through the main window's buttons and dialogs; and the scale grids edited key
// by key through real key events, one rule per column, and by nothing else.
#include "FakePort.h"
#include "ScriptedAnswers.h"
#include "VirtualClock.h"
#include "app/MainWindow.h"
#include "app/Session.h"
#include "files/LumatrixFile.h"
#include "files/QuorvaneFile.h"

#include <QtTest>
#include <QtWidgets>

using config::InstrumentKind;
namespace {

struct Program {
    testsupport::VirtualClock clock;
    testsupport::FakePort port{clock};
    testsupport::ScriptedAnswers answers;
    app::Session session;
    QTemporaryDir dir;

    explicit Program(config::InstrumentKind kind = config::InstrumentKind::Lumatrix)
        : session(kind, port, clock) {}
    config::ConfigModel& model() { return session.model(); }
    template <typename T = QWidget> T* get(const QString& name) {
        return session.window().findChild<T*>(name);
    }
    void click(const QString& name) { get<QAbstractButton>(name)->click(); }
    QString path(const QString& name) const { return dir.filePath(name); }
};

// The scale table the default configuration fills in: the factory scale in every slot, labelled
// GN 2 .. GN 8 from slot 2 on.
files::ScaleTable defaultScales() {
    files::ScaleTable table;
    for (int range = 1; range <= config::RangeCount; ++range)
        for (int gain = 1; gain <= config::GainCount; ++gain) {
            table[range - 1][gain - 1] = config::factoryScale(range);
            if (gain > 1)
                table[range - 1][gain - 1].label = QStringLiteral("GN %1").arg(gain);
        }
    return table;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

// Every item of both flow channels set and different; channel A's decimal points unselected.
files::FlowChannels someChannels() {
    files::FlowChannels channels;
    for (int i = 0; i < 2; ++i) {
        const QString n = QString::number(i + 1);
        channels[i] = {"+0000" + n, "+0100" + n, i ? 2 : -1, "GN " + n, " mm ",  "x*" + n,
                       n,           "-7" + n,    i ? 5 : -1, "l/s",     "1" + n, i ? 0 : -1,
                       " m3 ",      "",          "",         "",        ""};
    }
    return channels;
}

const QByteArray FlowFileWithOwnNames =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Settings>\n"
    " <Ch place=\"2\"><a>B</a><b/><c/><d>0</d><e/><f/><g/><h>0</h><i/><j/>"
    "<k>0</k><l/><m/><n>keep</n><o>too</o></Ch>\n"
    " <Ch place=\"1\"><a>A</a><b/><c/><d>0</d><e/><f/><g/><h>0</h><i/><j/>"
    "<k>0</k><l/><m/></Ch>\n</Settings>\n";

// Loads the file through the window: the one message it gives, and no field changed.
void refusedByTheWindow(InstrumentKind kind, const QByteArray& bytes, const QString& why) {
    Program p(kind);
    p.model().channels = someChannels();
    const config::ConfigModel& m = p.model();
    const auto scales = m.scales;
    writeAll(p.path("bad"), bytes);
    p.answers.files = {p.path("bad")};
    p.click("cmdLoad");
    QVERIFY(m.scales == scales && m.channels == someChannels());
    QCOMPARE(p.answers.asked.size(), std::size_t(1));
    QCOMPARE(p.answers.asked[0].title, QString("File error"));
    QVERIFY2(p.answers.asked[0].text.contains(why), qPrintable(p.answers.asked[0].text));
}

} // namespace

class ConfigFilesTest : public QObject {
    Q_OBJECT
private slots:
    void lmxRecordLayout() {
        QCOMPARE(files::scaleRowRecord(2, {"3", "-05.000", "+05.000", "", "V"}),
                 QByteArray("Gain 2;3     ;-05000;+05000;      ;V     \r       "));
        // What a user types is kept as typed; a longer label is cut to its cell.
        QCOMPARE(files::scaleRowRecord(8, {"0", "-1", "+99999", "ABCDEFGH", ""}),
                 QByteArray("Gain 8;0     ;-1    ;+99999;ABCDEF;      \r       "));
        const QByteArray bytes = files::lumatrixFileBytes(defaultScales());
        QCOMPARE(bytes.size(), 2646);
        for (int g = 0; g < 6; ++g)
            QCOMPARE(bytes.mid(g * 9 * 49, 49),
                     ("Scale " + config::rangeName(g + 1).toLatin1() + "\r").leftJustified(49));
        QCOMPARE(bytes.mid(53 * 49, 49), QByteArray("Gain 8;3     ;+00000;+20000;GN 8  ;mA    \r       "));
    }

    void scaleValuesComeBackInTheirPattern() {
        const char* const table[][3] = {
            {"-05000", "3", "-05.000"}, // as saved from a read or the defaults
            {"+20000", "5", "+.20000"}, {"-05000", "0", "-05000"}, {"-500", "3", "-500"},
            {"-12345", "2", "-123.45"}, // typed with five digits: the same value, in its pattern
            {"-05.00", "3", "-05.000"}, // cut by earlier programs: the lost zero comes back
            {"+12.34", "3", "+12.340"}, // ... and a lost digit that was not zero comes back as one
            {"-200.0", "2", "-200.00"}, {"-05.00", "", "-05.00"}};
        for (const auto& [cell, dp, loaded] : table)
            QCOMPARE(files::loadedScaleValue(cell, dp), QString(loaded));
    }

    void lmxLoaderTakesCellsByPosition() {
        files::ScaleTable table = defaultScales();
        QVERIFY(files::readLumatrixFile(files::lumatrixFileBytes(table)).value == table);
        table[0][1] = {"2", "+1", "-1234", "a,b;", " mm "};
        table[5][7] = {"", "", "", "", ";,\"'"};
        const QByteArray bytes = files::lumatrixFileBytes(table);
        // Records by length; by CR with the fill dropped and line feeds added; with more after them.
        QByteArray byCr = bytes;
        byCr.replace("\r       ", "\r\n").replace("     \r", "\r");
        for (const QByteArray& file : {bytes, byCr, bytes + QByteArray(354, 'x')}) {
            const auto loaded = files::readLumatrixFile(file);
            QVERIFY2(loaded.value == table, qPrintable(loaded.problem));
        }
    }

    void damagedLmxFilesLoadNothing() {
        const QByteArray good = files::lumatrixFileBytes(defaultScales());
        QByteArray moved = good, control = good;
        moved.insert(49 * 30 + 3, ' ').chop(1);
        control[49 * 53 + 30] = '\t';
        const std::pair<QByteArray, QString> table[] = {
            {"", "the file is empty"},
            {good.left(49 * 53), "the file holds 53 of the 54 records of a scale file"},
            {moved, "record 31 (Gain 3 of Scale 20mV) is not a scale row"},
            {control, "record 54 (Gain 8 of Scale 4-20mA) is not a scale row"},
            {QByteArray(3000, 'x'), "the file holds 1 of the 54 records of a scale file"}};
        for (const auto& [bytes, why] : table)
            refusedByTheWindow(InstrumentKind::Lumatrix, bytes, why);
    }

    void lmxSavedAndLoadedThroughTheWindow() {
        Program p;
        p.answers.now = QDateTime(QDate(2026, 12, 5), QTime(9, 30));
        const files::ScaleTable defaults = defaultScales();
        p.model().scales = defaults;
        // Typed without the extension, over a longer file: asked about, then replaced whole.
        writeAll(p.path("plant.lmx"), QByteArray(5000, 'x'));
        p.answers.files = {p.path("plant"), {}, p.path("plant")};
        p.answers.answers = {devlink::Answer::Yes};
        p.click("cmdSave");
        QCOMPARE(readAll(p.path("plant.lmx")), files::lumatrixFileBytes(defaults));
        const app::FileDialogRequest save = p.answers.fileRequests.at(0);
        QVERIFY(save.mode == devlink::FileRequest::Mode::Save);
        QCOMPARE(QStringList({save.title, save.filter, save.proposedName, save.folder}),
                 QStringList({"Save configuration file", " Lumatrix Configuration File (*.lmx)|*.lmx|",
                              "config_5_12_2026", app::proposedFolder()}));

        // Cancelled: nothing happens. Then the saved file brings the defaults back exactly.
        p.model().scales[2][3].start = "+1";
        p.model().scales[0][0].unit = "XX";
        p.click("cmdLoad");
        QCOMPARE(p.model().scales[2][3].start, QString("+1"));
        p.click("cmdLoad");
        const app::FileDialogRequest load = p.answers.fileRequests.at(2);
        QVERIFY(load.mode == devlink::FileRequest::Mode::Open && load.filter == save.filter);
        QVERIFY(p.model().scales == defaults);
        QCOMPARE(p.get<QTableView>("DataGrid(2)")->model()->index(3, 1).data().toString(),
                 QString("-200.00"));
        QCOMPARE(p.answers.asked.size(), std::size_t(1)); // the question about replacing the file
    }

    void saveFailuresAreReported() {
        Program p;
        p.answers.files = {p.path("missing/folder/a.lmx")};
        p.click("cmdSave");
        QCOMPARE(p.answers.asked.size(), std::size_t(1));
        QCOMPARE(p.answers.asked[0].title, QString("File error"));
        QVERIFY(!QFile::exists(p.path("missing/folder/a.lmx")));

        QDir(p.dir.path()).mkdir("locked");
        writeAll(p.path("locked/a.lmx"), "old");
        QFile::setPermissions(p.path("locked"), QFile::ReadOwner | QFile::ExeOwner);
        if (QFileInfo(p.path("locked")).isWritable())
            QSKIP("this user may write anywhere");
        p.answers.files = {p.path("locked/a.lmx")};
        p.click("cmdSave");
        QFile::setPermissions(p.path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(p.answers.askedTexts().last(), QString("File error: File already open!"));
        QCOMPARE(readAll(p.path("locked/a.lmx")), QByteArray("old"));
    }

    void xmlNewFileAndBack() {
        Program p(InstrumentKind::Quorvane);
        const files::FlowChannels channels = someChannels();
        p.model().channels = channels;
        p.answers.files = {p.path("new"), p.path("new.xml")};
        p.click("cmdSave");
        QVERIFY(p.answers.asked.empty());
        QCOMPARE(p.answers.fileRequests.at(0).filter, QString(" Quorvane Configuration File (*.xml)|*.xml|"));
        QVERIFY(readAll(p.path("new.xml")).contains("<DecimalPointAD>-1</DecimalPointAD>"));

        // Only the file's items come back; the linearization constants stay as they are.
        p.model().clearConfigFields();
        p.model().channel(1).a = "kept";
        p.click("cmdLoad");
        files::FlowChannels expected = channels;
        expected[0].a = "kept";
        QVERIFY(p.model().channels == expected);
        QCOMPARE(p.get<QLineEdit>("txtFormula2")->text() + "|" + p.get<QLineEdit>("txtFormula")->text(),
                 QString("x*2|x*1"));
        QCOMPARE(p.get<QComboBox>("cmbDPAD(1)")->currentIndex(), -1);
    }

    void xmlExistingFileKeepsItsNamesAndExtraItems() {
        auto document = files::parseFlowFile(FlowFileWithOwnNames);
        QVERIFY(document.value && files::writeFlowDocument(*document.value, someChannels()).isEmpty());
        const QByteArray saved = files::flowDocumentBytes(*document.value);
        for (const char* kept : {"<Settings>", "<Ch place=\"2\">", "<a>GN 2</a>", "<d>2</d>", "<n>keep</n>",
                                 "<o>too</o>", "<e> mm </e>", "<j>x*1</j>"})
            QVERIFY2(saved.contains(kept), kept);
        QVERIFY(files::readFlowDocument(*files::parseFlowFile(saved).value, {}).value == someChannels());

        // Saved over a file that is not one of ours: refused, and the file stays as it was.
        Program p(InstrumentKind::Quorvane);
        writeAll(p.path("other.xml"), "<html><body/></html>");
        p.answers.files = {p.path("other.xml")};
        p.click("cmdSave");
        QCOMPARE(p.answers.asked.size(), std::size_t(1));
        QCOMPARE(readAll(p.path("other.xml")), QByteArray("<html><body/></html>"));
    }

    void damagedXmlFilesLoadNothing() {
        auto changed = [](const char* from, const char* to) {
            return QByteArray(FlowFileWithOwnNames).replace(from, to);
        };
        const std::pair<QByteArray, QString> table[] = {
            {"", "not an XML document"},
            {"Gain 1;3", "not an XML document"},
            {"<?xml version=\"1.0\"?>", "not an XML document"},
            {changed("place=\"2\"", "place=\"7\""), "\"place\" 7 names no channel"},
            {changed("place=\"2\"", "where=\"2\""), "has no \"place\""},
            {changed("<o>too</o>", "<o/><o/><o/><o/><o/><o/><o/><o/><o/><o/><o/>"),
             "holds 25 items (at most 21)"},
            {changed("<m/></Ch>", "</Ch>"), "channel A holds 12 of its 13 items"},
            {changed("<h>0</h><i/><j/><k>0</k><l/><m/></Ch>", "<h>x</h><i/><j/><k>0</k><l/><m/></Ch>"),
             "the decimal point \"x\" of channel A (item 8)"},
            {changed("place=\"2\"", "place=\"0\""), "no element for channel B"}};
        for (const auto& [bytes, why] : table)
            refusedByTheWindow(InstrumentKind::Quorvane, bytes, why);
    }

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

QTEST_MAIN(ConfigFilesTest)
#include "config_files_test.moc"
