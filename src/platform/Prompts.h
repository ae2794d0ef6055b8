#pragma once

#include <optional>
#include <string>
#include <vector>

class QWidget;

// What one place in the program that asks for files remembers between uses,
// for the whole run: the dialog reopens on the last choice.
struct FileDialogState {
    std::string path;   // last chosen full path, empty before the first choice
    std::string folder; // the folder it was chosen in
    int entry = 1;      // filter entry preselected next time, counted from 1
};

// A confirmed file dialog.
struct FileChoice {
    std::string path; // full path
    int entry = 1;    // chosen filter entry, counted from 1
};

// One entry of a "description|pattern|description|pattern" filter text.
// A pattern item may hold several patterns separated by ";".
struct FilterEntry {
    std::string description;
    std::vector<std::string> patterns;
};

// A trailing description without its pattern is dropped.
std::vector<FilterEntry> ParseFilter(const std::string& filter);

// Records a confirmed choice in the dialog's state, as both dialogs do.
void Remember(FileDialogState& state, const FileChoice& choice);

// The questions the program asks its user: message boxes with one OK button and
// no icon, and the open and save file dialogs. Windows ask through this so tests
// can answer in their place.
class Prompts {
public:
    virtual ~Prompts() = default;

    // `detail`, when not empty, is more on the matter for whoever wants it (a
    // plug-in's reason for refusing a file), shown apart from the message's own text.
    virtual void message(QWidget* owner, const std::string& text, const std::string& caption,
                         const std::string& detail = {}) = 0;
    // Null when the user cancels; a confirmed choice is remembered in `state`.
    virtual std::optional<FileChoice> openFile(QWidget* owner, const std::string& filter,
                                               FileDialogState& state) = 0;
    virtual std::optional<FileChoice> saveFile(QWidget* owner, const std::string& filter,
                                               FileDialogState& state) = 0;
};
