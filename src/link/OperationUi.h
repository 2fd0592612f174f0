#pragma once

#include <string>

namespace devlink {

// Answers of a message box, numbered as the instruments' users and the rest of the program know
// them: OK = 1, Yes = 6, No = 7.
enum class Answer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

enum class Icon { None, Critical, Question, Exclamation, Information };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };

// The three progress windows the device operations show.
enum class ProgressWindow {
    SettingProgress, // caption, label and bar: configuration reads and writes, downloads
    Progress,        // caption and bar: acquisition data, block-window queries, preset sending
    SetType,         // wait window of single register commands
};

// A file dialog's request. The answer is the chosen path, empty when the user cancelled.
struct FileRequest {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    std::string title;
    std::string filter;       // "description (*.ext)|*.ext|", as the dialogs of the program give it
    std::string proposedName; // file name offered in the dialog
    std::string folder;       // folder the dialog opens in; empty: the last one used
};

// The calendar as operations see it (the computer's local date and time).
struct CalendarTime {
    int year = 2000; // four digits
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// What a device operation may do to the user interface. Operations never touch widgets; the
// main window implements this and tests implement it with a recorder.
class OperationUi {
public:
    virtual ~OperationUi() = default;

    // Disable (enable) every control that can start traffic on the port.
    virtual void lockPanels() = 0;
    virtual void unlockPanels() = 0;

    virtual Answer message(const std::string& text, const std::string& title, Icon icon, Buttons buttons,
                           Answer defaultButton = Answer::Ok) = 0;

    virtual void showProgress(ProgressWindow window, const std::string& caption) = 0;
    virtual void setProgressLabel(ProgressWindow window, const std::string& text) = 0;
    virtual void setProgressRange(ProgressWindow window, int minimum, int maximum) = 0;
    virtual void setProgressValue(ProgressWindow window, int value) = 0;
    // Closing a window that is not showing does nothing.
    virtual void closeProgress(ProgressWindow window) = 0;

    // A file dialog; empty when the user cancelled.
    virtual std::string chooseFile(const FileRequest& request) = 0;
    // Today's date and the time of day.
    virtual CalendarTime now() = 0;
};

} // namespace devlink
