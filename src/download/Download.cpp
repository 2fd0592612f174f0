#include "download/Download.h"

#include "config/ReadOperations.h"
#include "config/ReplyFields.h"
#include "link/Clock.h"
#include "link/Encodings.h"
#include "link/Link.h"
#include "link/Port.h"
#include "write/BlockPointer.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace download {

namespace {

// The main window's next-block box shows what the instrument now holds.
void showNextBlock(config::ConfigModel& model) {
    if (model.instrumentKind == config::InstrumentKind::Quorvane)
        model.nextBlockText = QString::fromStdString(enc::zeroPadded(model.nextBlock, 4));
}

using devlink::Buttons;
using devlink::Icon;
using devlink::Link;
using devlink::ProgressWindow;
using devlink::Reply;
using devlink::Written;
using enc::midChars;

constexpr const char* queryCaption = "Downloading...";
constexpr const char* transferCaption = "Data Download...";
constexpr double characterTime = 10.0 / 9600.0; // seconds per character at 9600 8N1
constexpr double progressInterval = 0.2;        // seconds between two updates of the transfer's progress

// Closes a progress window when the operation leaves by any way.
class ProgressShown {
public:
    ProgressShown(devlink::OperationUi& ui, ProgressWindow window, const std::string& caption)
        : ui_(ui), window_(window) {
        ui_.showProgress(window_, caption);
    }
    ~ProgressShown() { ui_.closeProgress(window_); }
    ProgressShown(const ProgressShown&) = delete;
    ProgressShown& operator=(const ProgressShown&) = delete;

private:
    devlink::OperationUi& ui_;
    ProgressWindow window_;
};

// A port with nothing behind it: waiting on it lets the event loop run for the given time without
// being woken by each character the instrument's port takes in meanwhile.
class NoDevice final : public devlink::Port {
public:
    devlink::OpenStatus open(int) override { return devlink::OpenStatus::Failed; }
    void close() override {}
    bool isOpen() const override { return false; }
    void write(std::string_view) override {}
    int bytesWaiting() override { return 0; }
    std::string readOne() override { return {}; }
    std::string readAll() override { return {}; }
    void discardInput() override {}
    bool failed() const override { return false; }
    std::string deviceName(int) const override { return {}; }
};

Outcome failed(const Reply& reply) {
    return reply.refused() ? Outcome::Busy : Outcome::NotConnected;
}

Outcome failed(Written written) {
    return written == Written::Busy ? Outcome::Busy : Outcome::NotConnected;
}

// A range or gain code of the recording-scales reply: two hex digits naming an existing slot
// (0-based), nothing otherwise (an unassigned preset copy reads "0F", a cut reply nothing).
std::optional<int> slotCode(std::string_view pair, int count) {
    if (pair.size() != 2 || !std::isxdigit(static_cast<unsigned char>(pair[0])) ||
        !std::isxdigit(static_cast<unsigned char>(pair[1])))
        return std::nullopt;
    const auto value = static_cast<int>(enc::hexToByteValue(pair));
    if (value >= count)
        return std::nullopt;
    return value;
}

bool wholeBlockNumber(std::string_view text, int& value) {
    if (!enc::isNumeric(text))
        return false;
    const double v = enc::val(text);
    if (v != std::floor(v) || v < 0 || v > highestBlock)
        return false;
    value = static_cast<int>(v);
    return true;
}

std::string label(const char* what, int block) {
    return what + enc::spacedNumber(block) + "...";
}

Download transfer(const config::ConfigModel& model, Link& link, const BlockRange& range,
                  const std::string& path, const std::function<void()>& fileChosen) {
    devlink::OperationUi& ui = link.ui();
    constexpr auto window = ProgressWindow::SettingProgress;

    // The target is checked before anything goes out; it is replaced only once the new records
    // are complete.
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        ui.message(fileOpenMessage, fileErrorTitle, Icon::Information, Buttons::Ok);
        return {Outcome::FileError, {}, {}};
    }
    if (fileChosen)
        fileChosen();

    ProgressShown shown(ui, window, transferCaption);
    ui.setProgressRange(window, range.first, range.last);
    if (link.isOpen())
        link.closePort();
    const Written sent = link.wakeUpWrite(downloadCommand(range), notConnectedMessage(model));
    if (sent != Written::Sent) {
        link.closePort();
        return {failed(sent), {}, {}};
    }

    ui.setProgressRange(window, 0, range.last);
    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(range.count()));
    // A block takes 34 ms on the line; showing each one would cost more processor time than
    // taking it in, so the window follows at most five times a second.
    devlink::Clock& clock = link.clock();
    NoDevice idle;
    double lastShown = -1.0;
    for (int n = range.first; n <= range.last; ++n) {
        // The rest of the block is let in before anyone looks: woken by every character, the loop
        // would cost more processor time than the line is worth. A block late or cut short is
        // still found by the silence limit of the reading that follows.
        const int missing = static_cast<int>(blockLength) + 1 - link.port().bytesWaiting();
        if (missing > 1)
            clock.yield(idle, missing * characterTime);

        const double now = clock.secondsSinceMidnight();
        if (lastShown < 0 || devlink::elapsedSince(lastShown, now) >= progressInterval || n == range.last) {
            lastShown = now;
            ui.setProgressLabel(window, label("Trasferring from device block no.", n));
            ui.setProgressValue(window, n);
        }
        Reply block = link.readRecord(blockLength, silenceLimit);
        if (block.outcome != devlink::Outcome::Replied)
            break;
        texts.push_back(std::move(block.text));
    }
    link.closePort();
    const bool complete = texts.size() == static_cast<std::size_t>(range.count());
    if (!complete)
        ui.message(notAllDataMessage, transferTitle, Icon::Information, Buttons::Ok);

    Decoding decoding{model.instrumentKind,
                      {model.channelDP[0].toStdString(), model.channelDP[1].toStdString()}};
    Download result{complete ? Outcome::Completed : Outcome::Stopped, path, {}};
    result.records.reserve(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const int n = range.first + static_cast<int>(i);
        ui.setProgressLabel(window, label("Processing Block", n));
        ui.setProgressValue(window, n);
        result.records.push_back(decodeBlock(n, texts[i], decoding));
    }

    const std::string header = headerRecord();
    bool written =
        file.write(header.data(), static_cast<qint64>(header.size())) == static_cast<qint64>(header.size());
    for (const BlockRecord& record : result.records) {
        if (!written)
            break;
        ui.setProgressLabel(window, label("Saving Block", record.block));
        ui.setProgressValue(window, record.block);
        const std::string line = dataRecord(record);
        written =
            file.write(line.data(), static_cast<qint64>(line.size())) == static_cast<qint64>(line.size());
    }
    if (!written || !file.commit()) {
        const std::string reason = file.errorString().toStdString();
        file.cancelWriting();
        ui.message(reason, fileErrorTitle, Icon::Information, Buttons::Ok);
        return {Outcome::FileError, {}, std::move(result.records)};
    }
    return result;
}

} // namespace

std::string notConnectedMessage(const config::ConfigModel& model) {
    return model.instrumentKind == config::InstrumentKind::Lumatrix ? devlink::lumatrixNotConnected
                                                                    : devlink::quorvaneNotConnected;
}

Outcome queryBlockWindow(config::ConfigModel& model, Link& link) {
    if (link.inProgress())
        return Outcome::Busy;
    Link::PanelLock lock(link);
    devlink::OperationUi& ui = link.ui();
    constexpr auto window = ProgressWindow::Progress;

    {
        ProgressShown shown(ui, window, queryCaption);
        devlink::Exchange next = devlink::Exchange::registerQuery("B00");
        next.notConnectedMessage = notConnectedMessage(model);
        const Reply reply = link.exchange(next);
        if (!reply.woke())
            return failed(reply);
        if (reply.text.size() < 14) {
            ui.message("The instrument did not answer the next-block query.", devlink::connectionErrorTitle,
                       Icon::Exclamation, Buttons::Ok);
            return Outcome::NoAnswer;
        }
        model.nextBlock = config::nextBlockOf(reply.text);
        showNextBlock(model);
        model.notifyChanged();
    }

    ProgressShown shown(ui, window, queryCaption);
    ui.setProgressRange(window, 0, 3);
    devlink::Exchange scales = devlink::Exchange::registerQuery("B10");
    scales.notConnectedMessage = notConnectedMessage(model);
    const Reply reply = link.exchange(scales);
    if (!reply.woke())
        return failed(reply);
    model.channelRange[0] = config::latin1(midChars(reply.text, 25, 2));
    model.channelGain[0] = config::latin1(midChars(reply.text, 28, 2));
    model.channelRange[1] = config::latin1(midChars(reply.text, 31, 2));
    model.channelGain[1] = config::latin1(midChars(reply.text, 34, 2));
    int bar = 1;
    ui.setProgressValue(window, bar);
    for (int channel = 1; channel <= 2; ++channel) {
        const auto c = static_cast<std::size_t>(channel - 1);
        const auto range = slotCode(model.channelRange[c].toStdString(), config::RangeCount);
        const auto gain = slotCode(model.channelGain[c].toStdString(), config::GainCount);
        model.channelDP[c].clear();
        if (range && gain) {
            const config::ReadResult read =
                config::readScaleDecimals(model, link, *range + 1, *gain + 1, channel);
            if (read == config::ReadResult::NotConnected)
                return Outcome::NotConnected;
            if (read == config::ReadResult::Busy)
                return Outcome::Busy;
        }
        ui.setProgressValue(window, ++bar);
    }
    model.notifyChanged();
    return Outcome::Completed;
}

int lastLoggedBlock(int nextBlock) {
    return nextBlock > 1 ? nextBlock - 1 : 1;
}

std::optional<BlockRange> chooseRange(bool all, std::string_view from, std::string_view to, int nextBlock) {
    BlockRange range;
    if (all) {
        range.first = 1;
        range.last = std::min(lastLoggedBlock(nextBlock), highestBlock);
        return range;
    }
    if (!wholeBlockNumber(from, range.first) || !wholeBlockNumber(to, range.last))
        return std::nullopt;
    if (range.last < range.first) {
        std::swap(range.first, range.last);
        range.swapped = true;
    }
    if (range.count() > highestBlock)
        return std::nullopt;
    return range;
}

std::string downloadCommand(const BlockRange& range) {
    return "F" + enc::hexRight(range.first, 4) + enc::hexRight(range.count(), 4);
}

Download downloadBlocks(config::ConfigModel& model, Link& link, const BlockRange& range,
                        const std::string& folder, const std::function<void()>& fileChosen) {
    if (link.inProgress())
        return {};
    Link::PanelLock lock(link);
    devlink::OperationUi& ui = link.ui();
    const devlink::CalendarTime today = ui.now();
    std::string path = ui.chooseFile({devlink::FileRequest::Mode::Save, saveTitle, dataFilter,
                                      proposedDataFileName(today.day, today.month, today.year), folder});
    if (path.empty())
        return {Outcome::Cancelled, {}, {}};
    if (QFileInfo(QString::fromStdString(path)).suffix().isEmpty())
        path += ".prn";
    return transfer(model, link, range, path, fileChosen);
}

Download transferBlocks(const config::ConfigModel& model, Link& link, const BlockRange& range,
                        const std::string& path) {
    if (link.inProgress())
        return {};
    Link::PanelLock lock(link);
    return transfer(model, link, range, path, {});
}

Outcome resetMemory(config::ConfigModel& model, Link& link) {
    if (link.inProgress())
        return Outcome::Busy;
    devlink::OperationUi& ui = link.ui();
    const devlink::Answer answer =
        ui.message("The instrument will log from the first block again, and the blocks logged so far will no "
                   "longer be offered for download.\r\nReset the memory?",
                   "Reset Memory", Icon::Question, Buttons::YesNo, devlink::Answer::No);
    if (answer != devlink::Answer::Yes)
        return Outcome::Cancelled;
    Link::PanelLock lock(link);
    ProgressShown shown(ui, ProgressWindow::Progress, "Reset Memory");
    const std::string message = notConnectedMessage(model);
    Written sent = writing::resetBlockPointer(link, message);
    if (sent == Written::Sent)
        sent = writing::resetStoredBlockPointer(link, message);
    if (sent != Written::Sent)
        return failed(sent);
    model.nextBlock = 0;
    // The flow unit's box must not keep the old pointer: a later rate setting writes the box back.
    showNextBlock(model);
    model.notifyChanged();
    return Outcome::Completed;
}

} // namespace download
