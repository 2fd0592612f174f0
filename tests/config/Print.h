#pragma once

// Failure messages that show every field of the configuration's records.

#include "config/ConfigModel.h"

#include <QStringList>
#include <QTest>

namespace config {

inline char* toString(const FlowChannel& c) {
    const QStringList ints{QString::number(c.dpAD), QString::number(c.dp), QString::number(c.dpTOT)};
    return QTest::toString(QStringList{c.startScale, c.endScale, ints[0], c.label, c.unitAD, c.formula,
                                       c.factor, c.offset, ints[1], c.unit, c.convTOT, ints[2], c.unitTOT,
                                       c.a, c.k, c.t, c.zero}
                               .join('|'));
}

inline char* toString(const Scale& s) {
    return QTest::toString(QStringList{s.decimalPoint, s.start, s.end, s.label, s.unit}.join('|'));
}

} // namespace config
