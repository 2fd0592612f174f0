#pragma once

#include "linearization/Linearization.h"

class QWidget;

namespace linearization {

// Shows the points about to be written, x from 0 to 999 against the value sent, with the smallest
// and the largest, in a modal window (frmPreview). True when the user chose "Send".
bool showPreview(QWidget* owner, const Table& table);

} // namespace linearization
