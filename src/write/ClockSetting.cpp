#include "write/ClockSetting.h"

#include "config/Queries.h"
#include "link/Encodings.h"
#include "link/Link.h"

#include <QDate>

#include <array>

namespace writing {

namespace {

// Two digits at `at`, or -1.
int twoDigits(const QString& text, int at) {
    const QChar a = text.at(at);
    const QChar b = text.at(at + 1);
    if (a < u'0' || a > u'9' || b < u'0' || b > u'9')
        return -1;
    return (a.unicode() - u'0') * 10 + (b.unicode() - u'0');
}

// "dd?mm?yy" with `separator` between the fields: the three numbers, or nothing.
std::optional<std::array<int, 3>> threeFields(const QString& text, QChar separator) {
    if (text.size() != 8 || text.at(2) != separator || text.at(5) != separator)
        return std::nullopt;
    const std::array<int, 3> fields{twoDigits(text, 0), twoDigits(text, 3), twoDigits(text, 6)};
    for (int f : fields)
        if (f < 0)
            return std::nullopt;
    return fields;
}

QString twoDigitText(int value) {
    return QString::fromStdString(enc::zeroPadded(value, 2));
}

} // namespace

void useSystemTime(config::ConfigModel& model, devlink::OperationUi& ui) {
    const devlink::CalendarTime now = ui.now();
    model.date = twoDigitText(now.day) + u'-' + twoDigitText(now.month) + u'-' + twoDigitText(now.year % 100);
    model.time = twoDigitText(now.hour) + u':' + twoDigitText(now.minute) + u':' + twoDigitText(now.second);
    model.notifyChanged();
}

std::optional<std::string> clockCommand(const QString& date, const QString& time) {
    const auto d = threeFields(date, u'-');
    const auto t = threeFields(time, u':');
    if (!d || !t)
        return std::nullopt;
    const auto [day, month, year] = *d;
    // The unit counts its years from 2000.
    if (!QDate::isValid(2000 + year, month, day))
        return std::nullopt;
    const auto [hour, minute, second] = *t;
    if (hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return "h" + date.mid(6, 2).toStdString() + "-" + date.mid(3, 2).toStdString() + "-" +
           date.mid(0, 2).toStdString() + " " + time.toStdString();
}

RegisterResult setClock(config::ConfigModel& model, devlink::Link& link) {
    if (link.inProgress())
        return RegisterResult::Busy;
    if (!clockCommand(model.date, QStringLiteral("00:00:00"))) {
        refuseInput(link.ui(), "The date is not a real date in the form dd-mm-yy.");
        return RegisterResult::Refused;
    }
    const std::optional<std::string> command = clockCommand(model.date, model.time);
    if (!command) {
        refuseInput(link.ui(), "The time is not a real time in the form hh:mm:ss.");
        return RegisterResult::Refused;
    }
    devlink::Link::PanelLock lock(link);
    const devlink::Written written = link.write({.command = *command});
    if (written != devlink::Written::Sent)
        return written == devlink::Written::Busy ? RegisterResult::Busy : RegisterResult::NotConnected;
    model.date.clear();
    model.time.clear();
    model.notifyChanged();
    config::queryClock(model, link);
    return RegisterResult::Sent;
}

} // namespace writing
