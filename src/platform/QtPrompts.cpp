#include "platform/QtPrompts.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

QStringList QtNameFilters(const std::string& filter) {
    QStringList filters;
    for (const FilterEntry& entry : ParseFilter(filter)) {
        QStringList patterns;
        for (const std::string& p : entry.patterns)
            patterns << (p == "*.*" ? QStringLiteral("*") : QString::fromLocal8Bit(p.c_str()));
        // Qt takes the patterns from the last parenthesis and, with the details
        // hidden, shows only the text before it: the description as given.
        filters << QString::fromLocal8Bit(entry.description.c_str()) + QStringLiteral(" (") +
                       patterns.join(QLatin1Char(' ')) + QStringLiteral(")");
    }
    return filters;
}

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* owner, const std::string& filter,
                                            const FileDialogState& state, bool save) {
    auto dialog = std::make_unique<QFileDialog>(owner);
    // The widget dialog everywhere, so the filter list, its entry number and the
    // "*.*" rule behave the same on every platform.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setOption(QFileDialog::ReadOnly, false);
    if (save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        // The name typed is not the name written (frame numbers and the plug-in's
        // extension are added), so asking about overwriting it would mislead.
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
    }
    const QStringList filters = QtNameFilters(filter);
    dialog->setNameFilters(filters);
    if (state.entry >= 1 && state.entry <= filters.size()) {
        // Selecting by text applies the entry's patterns; equal texts have equal
        // patterns, and the position then picks the very entry among them.
        dialog->selectNameFilter(filters.at(state.entry - 1));
        if (auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
            combo->setCurrentIndex(state.entry - 1);
    }
    dialog->setDirectory(state.folder.empty() ? QDir::currentPath()
                                              : QString::fromLocal8Bit(state.folder.c_str()));
    if (!state.path.empty())
        dialog->selectFile(QString::fromLocal8Bit(state.path.c_str()));
    return dialog;
}

FileChoice ChoiceOf(const QFileDialog& dialog) {
    FileChoice choice;
    const QStringList files = dialog.selectedFiles();
    if (!files.isEmpty())
        choice.path = QDir::toNativeSeparators(files.first()).toLocal8Bit().toStdString();
    // Descriptions may repeat (two plug-ins of one format), so the entry is read
    // from the list's position rather than looked up by its text.
    if (const auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        choice.entry = combo->currentIndex() + 1;
    else
        choice.entry =
            static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter())) + 1;
    if (choice.entry < 1)
        choice.entry = 1;
    return choice;
}

void QtPrompts::message(QWidget* owner, const std::string& text, const std::string& caption,
                        const std::string& detail) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLocal8Bit(caption.c_str()),
                    QString::fromLocal8Bit(text.c_str()), QMessageBox::Ok, owner);
    if (!detail.empty())
        box.setDetailedText(QString::fromLocal8Bit(detail.c_str()));
    box.exec();
}

std::optional<FileChoice> QtPrompts::openFile(QWidget* owner, const std::string& filter,
                                              FileDialogState& state) {
    return ask(owner, filter, state, false);
}

std::optional<FileChoice> QtPrompts::saveFile(QWidget* owner, const std::string& filter,
                                              FileDialogState& state) {
    return ask(owner, filter, state, true);
}

std::optional<FileChoice> QtPrompts::ask(QWidget* owner, const std::string& filter,
                                         FileDialogState& state, bool save) {
    auto dialog = MakeFileDialog(owner, filter, state, save);
    if (dialog->exec() != QDialog::Accepted)
        return std::nullopt;
    FileChoice choice = ChoiceOf(*dialog);
    if (choice.path.empty())
        return std::nullopt;
    Remember(state, choice);
    return choice;
}
