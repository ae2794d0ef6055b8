#include "platform/ScriptedPrompts.h"

void ScriptedPrompts::answer(std::string path, int entry) {
    answers_.push_back(FileChoice{std::move(path), entry});
}

void ScriptedPrompts::cancel() {
    answers_.push_back(std::nullopt);
}

void ScriptedPrompts::message(QWidget* owner, const std::string& text, const std::string& caption,
                              const std::string& detail) {
    messages.push_back({owner, text, caption, detail});
}

std::optional<FileChoice> ScriptedPrompts::openFile(QWidget*, const std::string& filter,
                                                    FileDialogState& state) {
    return next(false, filter, state);
}

std::optional<FileChoice> ScriptedPrompts::saveFile(QWidget*, const std::string& filter,
                                                    FileDialogState& state) {
    return next(true, filter, state);
}

std::optional<FileChoice> ScriptedPrompts::next(bool save, const std::string& filter,
                                                FileDialogState& state) {
    dialogs.push_back({save, filter, state.entry, state.path});
    if (answers_.empty())
        return std::nullopt;
    std::optional<FileChoice> choice = std::move(answers_.front());
    answers_.pop_front();
    if (choice)
        Remember(state, *choice);
    return choice;
}
