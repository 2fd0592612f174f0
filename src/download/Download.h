#pragma once

// The logged-data download as device operations over the model and the link: the block window's
// opening queries, the block range, the save dialog, the transfer of the blocks with the one "F"
// command, the data file, and the reset of the logger's block pointers. None touches a widget.

#include "config/ConfigModel.h"
#include "download/DataFile.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace devlink {
class Link;
}

namespace download {

inline constexpr double silenceLimit = 5.0; // seconds without a character end a transfer

inline constexpr const char* incorrectBlockMessage = "Incorrect block inserted";
inline constexpr const char* notAllDataMessage = "Attention: Not all data has been transferred!";
inline constexpr const char* transferTitle = "Transfer data to file";
inline constexpr const char* fileErrorTitle = "File error";
inline constexpr const char* fileOpenMessage = "File already open!";
inline constexpr const char* saveTitle = "Save data file";
inline constexpr const char* dataFilter = " Data File (*.prn)|*.prn|";

// The "not connected!" text naming the chosen instrument.
std::string notConnectedMessage(const config::ConfigModel& model);

enum class Outcome {
    Completed,    // everything asked for arrived and was written
    Stopped,      // the line fell silent or garbled a block: the warning was shown, the blocks
                  // that arrived whole were written
    Cancelled,    // the save dialog was cancelled (or a question answered No): nothing was sent
    NotConnected, // an unanswered wake-up: its one message was shown, nothing more was sent
    NoAnswer,     // the instrument woke but did not answer a query: one message was shown
    FileError,    // the data file could not be written: one message was shown
    Busy,         // another operation was running; nothing was done
};

// What the block window shows when it opens: the next free block ("B00") into model.nextBlock,
// the recording scales ("B10") and their decimal points into model.channelDP, under the small
// progress window, between locked panels. Anything but Completed: the window is not to be shown.
Outcome queryBlockWindow(config::ConfigModel& model, devlink::Link& link);

// The last block "To" proposes and "All" downloads: the last one logged, block 1 when nothing is.
int lastLoggedBlock(int nextBlock);

struct BlockRange {
    int first = 1;
    int last = 1;
    bool swapped = false; // "From" was above "To": the boxes are to show them the other way round
    int count() const { return last - first + 1; }
};

// The range of the OK button: "All" gives 1 .. lastLoggedBlock(nextBlock); "Selected" takes the
// two boxes, which must hold whole numbers 0..65535 (nothing for a larger range), swapped when
// From is above To. Nothing: "Incorrect block inserted".
std::optional<BlockRange> chooseRange(bool all, std::string_view from, std::string_view to, int nextBlock);

// The download command: "F", the first block and the count as four hex digits each.
std::string downloadCommand(const BlockRange& range);

struct Download {
    Outcome outcome = Outcome::Busy;
    std::string path;                 // the data file written (empty when none)
    std::vector<BlockRecord> records; // the blocks in the file
};

// The OK button once its range is checked: the save dialog ("Save data file", the data filter,
// the proposed name of today, `folder`), then, once the file can be written, `fileChosen` (the
// block window closes), the transfer and the data file, all between locked panels. A name typed
// without extension gets ".prn". The file is replaced whole, never patched.
Download downloadBlocks(config::ConfigModel& model, devlink::Link& link, const BlockRange& range,
                        const std::string& folder, const std::function<void()>& fileChosen = {});

// The transfer and the file alone, into `path` (the dialog already answered).
Download transferBlocks(const config::ConfigModel& model, devlink::Link& link, const BlockRange& range,
                        const std::string& path);

// "Reset Memory": asks first (Yes/No, default No); then both block pointers set to zero under
// the small progress window between locked panels, and model.nextBlock follows.
Outcome resetMemory(config::ConfigModel& model, devlink::Link& link);

} // namespace download
