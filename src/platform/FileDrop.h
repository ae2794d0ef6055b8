#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <string>

class QMimeData;
class QWidget;
struct FileDialogState;

// The file a drop carries: the first of its addresses that names an existing
// local file, in the form the file dialogs give paths. Nothing for text, web
// addresses, folders or files that are gone: none of those could have been
// chosen in an open dialog.
std::optional<std::string> DroppedFile(const QMimeData* data);

// Lets a window take files dropped on it, or on any of its children that take no
// drops of their own, as the file its Load dialog would have given: the first file
// of a drop is handed to `load`, and the Load dialog's memory `state` (may be null)
// then points at it, so the next Load opens where the dropped file was. Anything
// else dragged over the window is refused and changes nothing.
class FileDropTarget : public QObject {
public:
    using Load = std::function<void(const std::string& path)>;

    // Owned by `window`.
    FileDropTarget(QWidget* window, FileDialogState* state, Load load);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    FileDialogState* state_;
    Load load_;
};
