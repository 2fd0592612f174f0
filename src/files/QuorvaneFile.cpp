#include "files/QuorvaneFile.h"

#include <QList>
#include <QTextStream>

namespace files {
namespace {

const char* const PlaceAttribute = "place";

// Names of the items in a file this program creates; files may use any others.
const char* const TemplateItemNames[FlowItemCount] = {
    "Label",        "StartScale", "EndScale", "DecimalPointAD",  "UnitAD",        "Offset", "Factor",
    "DecimalPoint", "Unit",       "Formula",  "DecimalPointTOT", "ConversionTOT", "UnitTOT"};

// Positions of the three decimal points among the items.
constexpr int DpADItem = 3;
constexpr int DpItem = 7;
constexpr int DpTOTItem = 10;

QString channelName(int place) {
    return place == 1 ? QStringLiteral("channel A") : QStringLiteral("channel B");
}

// The item elements of channels A and B, or why the document does not have them.
struct ChannelItems {
    std::array<QList<QDomElement>, 2> items;
    QString problem;
};

ChannelItems channelItems(const QDomDocument& document) {
    ChannelItems found;
    const QDomElement root = document.documentElement();
    if (root.isNull()) {
        found.problem = QStringLiteral("it has no root element");
        return found;
    }
    for (QDomElement channel = root.firstChildElement(); !channel.isNull();
         channel = channel.nextSiblingElement()) {
        if (!channel.hasAttribute(QLatin1String(PlaceAttribute))) {
            found.problem = QStringLiteral("the element \"%1\" has no \"place\"").arg(channel.tagName());
            return found;
        }
        const QString placeText = channel.attribute(QLatin1String(PlaceAttribute));
        bool ok = false;
        const int place = placeText.trimmed().toInt(&ok);
        if (!ok || place < 0 || place > 2) {
            found.problem = QStringLiteral("\"place\" %1 names no channel (1 or 2)").arg(placeText);
            return found;
        }
        QList<QDomElement> items;
        for (QDomElement item = channel.firstChildElement(); !item.isNull(); item = item.nextSiblingElement())
            items << item;
        if (items.size() > FlowItemLimit) {
            found.problem = QStringLiteral("a channel element holds %1 items (at most %2)")
                                .arg(items.size())
                                .arg(FlowItemLimit);
            return found;
        }
        // Place 0 is a slot earlier programs kept and never showed.
        if (place == 0)
            continue;
        if (items.size() < FlowItemCount) {
            found.problem = QStringLiteral("%1 holds %2 of its %3 items")
                                .arg(channelName(place))
                                .arg(items.size())
                                .arg(FlowItemCount);
            return found;
        }
        found.items[place - 1] = items;
    }
    for (int place = 1; place <= 2; ++place)
        if (found.items[place - 1].isEmpty()) {
            found.problem = QStringLiteral("it has no element for %1").arg(channelName(place));
            return found;
        }
    return found;
}

void setText(QDomElement element, const QString& text) {
    while (!element.firstChild().isNull())
        element.removeChild(element.firstChild());
    if (!text.isEmpty())
        element.appendChild(element.ownerDocument().createTextNode(text));
}

} // namespace

std::array<QString, FlowItemCount> flowItems(const config::FlowChannel& c) {
    return {c.label,
            c.startScale,
            c.endScale,
            QString::number(c.dpAD),
            c.unitAD,
            c.offset,
            c.factor,
            QString::number(c.dp),
            c.unit,
            c.formula,
            QString::number(c.dpTOT),
            c.convTOT,
            c.unitTOT};
}

QDomDocument flowTemplate() {
    QDomDocument document;
    document.appendChild(document.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement root = document.createElement(QStringLiteral("QuorvaneConfiguration"));
    document.appendChild(root);
    for (int place = 1; place <= 2; ++place) {
        QDomElement channel = document.createElement(QStringLiteral("Channel"));
        channel.setAttribute(QLatin1String(PlaceAttribute), place);
        for (const char* name : TemplateItemNames)
            channel.appendChild(document.createElement(QLatin1String(name)));
        root.appendChild(channel);
    }
    return document;
}

QString writeFlowDocument(QDomDocument& document, const FlowChannels& channels) {
    const ChannelItems found = channelItems(document);
    if (!found.problem.isEmpty())
        return found.problem;
    for (int place = 1; place <= 2; ++place) {
        const auto items = flowItems(channels[place - 1]);
        for (int k = 0; k < FlowItemCount; ++k)
            setText(found.items[place - 1][k], items[k]);
    }
    return {};
}

QByteArray flowDocumentBytes(const QDomDocument& document) {
    QByteArray bytes;
    {
        QTextStream stream(&bytes);
        document.save(stream, 2);
    }
    return bytes;
}

Loaded<QDomDocument> parseFlowFile(const QByteArray& bytes) {
    QDomDocument document;
    QString message;
    int line = 0;
    int column = 0;
    if (!document.setContent(bytes, false, &message, &line, &column))
        return {std::nullopt, QStringLiteral("it is not an XML document (line %1, column %2: %3)")
                                  .arg(line)
                                  .arg(column)
                                  .arg(message)};
    return {document, {}};
}

Loaded<FlowChannels> readFlowDocument(const QDomDocument& document, const FlowChannels& current) {
    const ChannelItems found = channelItems(document);
    if (!found.problem.isEmpty())
        return {std::nullopt, found.problem};
    FlowChannels channels = current;
    for (int place = 1; place <= 2; ++place) {
        std::array<QString, FlowItemCount> items;
        for (int k = 0; k < FlowItemCount; ++k)
            items[k] = found.items[place - 1][k].text();
        config::FlowChannel& c = channels[place - 1];
        for (auto [k, list] :
             {std::pair{DpADItem, &c.dpAD}, std::pair{DpItem, &c.dp}, std::pair{DpTOTItem, &c.dpTOT}}) {
            bool ok = false;
            const int index = items[k].trimmed().toInt(&ok);
            if (!ok || index < -1 || index > 5)
                return {std::nullopt,
                        QStringLiteral("the decimal point \"%1\" of %2 (item %3) is not -1 or 0 to 5")
                            .arg(items[k], channelName(place))
                            .arg(k + 1)};
            *list = index;
        }
        c.label = items[0];
        c.startScale = items[1];
        c.endScale = items[2];
        c.unitAD = items[4];
        c.offset = items[5];
        c.factor = items[6];
        c.unit = items[8];
        c.formula = items[9];
        c.convTOT = items[11];
        c.unitTOT = items[12];
    }
    return {channels, {}};
}

} // namespace files
