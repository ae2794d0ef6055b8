#pragma once

#include "platform/Prompts.h"

#include <QStringList>
#include <memory>

class QFileDialog;

// The name filters a Qt file dialog gets for a "description|pattern" filter:
// each shows its description unchanged, while "*.*" is handed to Qt as "*"
// so that it keeps matching files without a dot.
QStringList QtNameFilters(const std::string& filter);

// The dialog the Qt prompts show, set up from the filter and the remembered state;
// exposed so its set-up can be checked without showing it.
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* owner, const std::string& filter,
                                            const FileDialogState& state, bool save);
// What a confirmed dialog chose: its first selected file and its filter entry.
FileChoice ChoiceOf(const QFileDialog& dialog);

class QtPrompts : public Prompts {
public:
    void message(QWidget* owner, const std::string& text, const std::string& caption,
                 const std::string& detail = {}) override;
    std::optional<FileChoice> openFile(QWidget* owner, const std::string& filter,
                                       FileDialogState& state) override;
    std::optional<FileChoice> saveFile(QWidget* owner, const std::string& filter,
                                       FileDialogState& state) override;

private:
    std::optional<FileChoice> ask(QWidget* owner, const std::string& filter, FileDialogState& state,
                                  bool save);
};
