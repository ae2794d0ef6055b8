#pragma once

#include "platform/Prompts.h"

#include <deque>

// Prompts answered from a queue instead of a person: each file dialog takes the
// next queued answer (none queued: cancelled), and every message box is recorded.
class ScriptedPrompts : public Prompts {
public:
    struct Message {
        QWidget* owner;
        std::string text;
        std::string caption;
        std::string detail;
    };
    struct Dialog {
        bool save;
        std::string filter;
        int preselected;      // the state's entry when the dialog came up
        std::string lastPath; // the state's path when the dialog came up
    };

    void answer(std::string path, int entry = 1);
    void cancel();

    void message(QWidget* owner, const std::string& text, const std::string& caption,
                 const std::string& detail = {}) override;
    std::optional<FileChoice> openFile(QWidget* owner, const std::string& filter,
                                       FileDialogState& state) override;
    std::optional<FileChoice> saveFile(QWidget* owner, const std::string& filter,
                                       FileDialogState& state) override;

    std::vector<Message> messages;
    std::vector<Dialog> dialogs;

private:
    std::optional<FileChoice> next(bool save, const std::string& filter, FileDialogState& state);
    std::deque<std::optional<FileChoice>> answers_;
};
