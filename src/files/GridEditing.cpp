#include "files/GridEditing.h"

#include "app/Workbench.h"
#include "config/ConfigModel.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QTableView>

namespace files {
namespace {

constexpr int DecimalPointColumn = 0;
constexpr int StartColumn = 1;
constexpr int EndColumn = 2;
constexpr int LabelColumn = 3;
constexpr int UnitColumn = 4;

// Labels and units go to the instrument one byte per character: control characters (a CR would
// also break the file's record) and characters beyond Latin-1 have no place there.
bool printableLatin1(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x20 && u < 0x7F) || (u >= 0xA0 && u <= 0xFF);
}

QString* cellField(config::Scale& scale, int column) {
    switch (column) {
    case DecimalPointColumn:
        return &scale.decimalPoint;
    case StartColumn:
        return &scale.start;
    case EndColumn:
        return &scale.end;
    case LabelColumn:
        return &scale.label;
    case UnitColumn:
        return &scale.unit;
    default:
        return nullptr;
    }
}

bool movesTheCurrentCell(const QKeyEvent& key) {
    switch (key.key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return true;
    default:
        return false;
    }
}

// Follows the current cell of one grid and builds its text key by key.
class GridEditor : public QObject {
public:
    GridEditor(app::Workbench& bench, QTableView* view, int range)
        : QObject(view), bench_(bench), view_(view), range_(range) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The type first: while the grid is being destroyed it still sends events, and comparing it
        // as a table view then would look at an object that is no longer one.
        if (event->type() != QEvent::InputMethod && event->type() != QEvent::KeyPress)
            return false;
        if (watched != view_)
            return false;
        // Text composed by an input method (dead keys, compose) is typed like keys.
        if (event->type() == QEvent::InputMethod) {
            type(static_cast<const QInputMethodEvent&>(*event).commitString());
            return true;
        }
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto& key = static_cast<const QKeyEvent&>(*event);
        // Moving about and copying stay the grid's own; every other key is ours, so that typing
        // never jumps to a matching cell or reaches an editor.
        if (movesTheCurrentCell(key) || key.matches(QKeySequence::Copy))
            return false;
        if (key.key() == Qt::Key_Backspace || key.key() == Qt::Key_Delete)
            edit([](int, const QString&) { return QString(); });
        else if (!(key.modifiers() & (Qt::ControlModifier | Qt::MetaModifier)))
            type(key.text());
        return true;
    }

private:
    void type(const QString& typed) {
        edit([&typed](int column, QString text) {
            for (QChar c : typed)
                text = typedIntoCell(column, text, c);
            return text;
        });
    }

    // The current cell gets the rule's text, unless it is the factory row or an operation runs.
    template <typename Rule> void edit(const Rule& rule) {
        // A running operation reads the scales; they hold still until it ends.
        if (bench_.operationRunning())
            return;
        const QModelIndex current = view_->currentIndex();
        if (!current.isValid() || current.row() == 0)
            return;
        QString* field = cellField(bench_.model().scale(range_, current.row() + 1), current.column());
        if (!field)
            return;
        const QString text = rule(current.column(), *field);
        if (text == *field)
            return;
        *field = text;
        bench_.model().notifyChanged();
    }

    app::Workbench& bench_;
    QTableView* view_;
    int range_;
};

} // namespace

QString typedIntoCell(int column, const QString& text, QChar typed) {
    switch (column) {
    case DecimalPointColumn:
        return typed >= QLatin1Char('0') && typed <= QLatin1Char('5') ? QString(typed) : text;
    case StartColumn:
    case EndColumn:
        if (text.isEmpty())
            return typed == QLatin1Char('+') || typed == QLatin1Char('-') ? QString(typed) : text;
        return typed.isDigit() && typed.unicode() < 0x80 && text.size() <= 5 ? text + typed : text;
    case LabelColumn:
    case UnitColumn:
        return printableLatin1(typed) && text.size() <= 3 ? text + typed : text;
    default:
        return text;
    }
}

void installGridEditing(app::Workbench& bench) {
    for (int g = 0; g < config::RangeCount; ++g) {
        auto* view = bench.mainWindow().findChild<QTableView*>(QStringLiteral("DataGrid(%1)").arg(g));
        if (!view)
            continue;
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->installEventFilter(new GridEditor(bench, view, g + 1));
    }
}

} // namespace files
