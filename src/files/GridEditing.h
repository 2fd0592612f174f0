#pragma once

#include <QChar>
#include <QString>

namespace app {
class Workbench;
}

namespace files {

// The scale grids DataGrid(0..5) edit their cells key by key, with one rule per column, and by
// nothing else (no cell editor, no paste). Row 1, the factory scale, never changes.
void installGridEditing(app::Workbench& bench);

// A cell's text after one typed character, by the rule of its column (0 decimal point, 1 start,
// 2 end, 3 label, 4 unit); the text unchanged when the rule refuses the character.
QString typedIntoCell(int column, const QString& text, QChar typed);

} // namespace files
