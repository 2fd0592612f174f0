#include "config/ConfigModel.h"

namespace config {

QString rangeName(int range) {
    static const std::array<const char*, RangeCount> names{"5V", "2V", "200mV", "20mV", "2mV/V", "4-20mA"};
    if (range < 1 || range > RangeCount)
        return {};
    return QString::fromLatin1(names[range - 1]);
}

Scale factoryScale(int range) {
    switch (range) {
    case 1:
        return {"3", "-05.000", "+05.000", "", "V"};
    case 2:
        return {"3", "-02.000", "+02.000", "", "V"};
    case 3:
        return {"2", "-200.00", "+200.00", "", "mV"};
    case 4:
        return {"3", "-20.000", "+20.000", "", "mV"};
    case 5:
        return {"4", "-2.0000", "+2.0000", "", "mV/V"};
    case 6:
        return {"3", "+00.000", "+20.000", "", "mA"};
    default:
        return {};
    }
}

ConfigModel::ConfigModel(InstrumentKind kind, QObject* parent) : QObject(parent), instrumentKind(kind) {
    resetAtStartup();
}

void ConfigModel::setFactoryRows() {
    for (int range = 1; range <= RangeCount; ++range)
        scale(range, 1) = factoryScale(range);
}

void ConfigModel::clearConfigFields() {
    for (FlowChannel& c : channels) {
        c.label.clear();
        c.startScale.clear();
        c.endScale.clear();
        c.unitAD.clear();
        c.offset.clear();
        c.factor.clear();
        c.unit.clear();
        c.unitTOT.clear();
        c.a.clear();
        c.k.clear();
        c.t.clear();
        c.zero.clear();
        c.convTOT.clear();
        c.formula.clear();
        c.dpAD = -1;
        c.dp = -1;
        c.dpTOT = -1;
    }
}

void ConfigModel::resetAtStartup() {
    configRead = false;
    serviceUnlocked = false;
    fixedRangeCode.clear();
    setFactoryRows();
    // The lists are put on their first item and then cleared again, so a list always ends with
    // no selection although its items exist.
    for (FlowChannel& c : channels)
        c.dp = c.dpAD = c.dpTOT = 0;
    portNumber = 1;
    for (Preset& p : presets)
        p = {};
    clearConfigFields();
    rateIndex = -1;
    nextBlockText.clear();
    nextBlock = 9999;
    recRateCode.clear();
    recChannelCode.clear();
}

} // namespace config
