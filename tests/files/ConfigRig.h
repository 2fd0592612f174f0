#pragma once

// The program for one instrument, its dialogs and boxes answered from scripts, for the tests of the
// configuration files and the scale grids.

#include "FakePort.h"
#include "ScriptedAnswers.h"
#include "VirtualClock.h"
#include "app/MainWindow.h"
#include "app/Session.h"
#include "files/LumatrixFile.h"

#include <QAbstractButton>
#include <QTemporaryDir>

namespace filestest {

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
inline files::ScaleTable defaultScales() {
    files::ScaleTable table;
    for (int range = 1; range <= config::RangeCount; ++range)
        for (int gain = 1; gain <= config::GainCount; ++gain) {
            table[range - 1][gain - 1] = config::factoryScale(range);
            if (gain > 1)
                table[range - 1][gain - 1].label = QStringLiteral("GN %1").arg(gain);
        }
    return table;
}

} // namespace filestest
