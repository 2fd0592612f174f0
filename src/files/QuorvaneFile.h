#pragma once

// The flow unit's configuration file (".xml"): a root element whose child elements are the
// channels, each with the attribute "place" (1 = channel A, 2 = channel B) and its items as child
// elements, by position:
//
//   0 label, 1 start of scale, 2 end of scale, 3 A/D decimal point, 4 A/D unit, 5 offset,
//   6 divider factor, 7 flow decimal point, 8 flow unit, 9 flow equation,
//   10 totaliser decimal point, 11 totaliser conversion factor, 12 totaliser unit
//
// Decimal points are list indexes as decimal text, -1 when nothing is selected. Element names are
// whatever the file uses; a channel may hold up to 21 items, those after the 13th are kept as
// they are. Saving fills an existing document in place.

#include "config/ConfigModel.h"
#include "files/LumatrixFile.h"

#include <QByteArray>
#include <QDomDocument>
#include <QString>

#include <array>

namespace files {

using FlowChannels = decltype(config::ConfigModel::channels);

inline constexpr int FlowItemCount = 13;
inline constexpr int FlowItemLimit = 21;

// The 13 items of one channel as the file holds them.
std::array<QString, FlowItemCount> flowItems(const config::FlowChannel& channel);

// A new document with the file's structure and empty items, for a file that does not exist yet.
QDomDocument flowTemplate();

// Writes both channels into the document; the reason when the document lacks the structure (it
// is then left unchanged).
QString writeFlowDocument(QDomDocument& document, const FlowChannels& channels);

// The document as file bytes, in the encoding its declaration names.
QByteArray flowDocumentBytes(const QDomDocument& document);

// Parses file bytes; the reason when they are not an XML document.
Loaded<QDomDocument> parseFlowFile(const QByteArray& bytes);

// The channels with the document's items put in; the other fields are taken from `current`.
// Nothing when the document lacks the structure or an item cannot be shown.
Loaded<FlowChannels> readFlowDocument(const QDomDocument& document, const FlowChannels& current);

} // namespace files
