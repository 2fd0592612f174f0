#include "write/Defaults.h"

namespace writing {

void loadDefaults(config::ConfigModel& model) {
    for (int range = 1; range <= config::RangeCount; ++range) {
        // Every slot starts as the range's own factory scale, labelled with its gain slot.
        const config::Scale factory = config::factoryScale(range);
        for (int gain = 1; gain <= config::GainCount; ++gain) {
            config::Scale& s = model.scale(range, gain);
            s = factory;
            s.label = gain == 1 ? QString() : QStringLiteral("GN %1").arg(gain);
        }
    }
    for (int i = 1; i <= config::FlowChannelCount; ++i) {
        config::FlowChannel& c = model.channel(i);
        c.label = QStringLiteral("GN %1").arg(i + 1);
        c.startScale = QStringLiteral("+00000");
        c.endScale = QStringLiteral("+01000");
        c.dpAD = 0;
        c.unitAD = QStringLiteral(" mm ");
        c.dp = 0;
        c.dpTOT = 0;
        c.convTOT = QStringLiteral("1");
        c.unit = QStringLiteral("l/s");
        c.unitTOT = QStringLiteral(" m3 ");
        c.factor = QStringLiteral("1");
        c.offset = QStringLiteral("0");
    }
    model.channel(1).formula = QStringLiteral("x");
    model.channel(2).formula.clear();
    model.notifyChanged();
}

} // namespace writing
