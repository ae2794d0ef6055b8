#pragma once

#include "platform/DialogUnits.h"

#include <QWidget>
#include <string>

class QLabel;
class Prompts;
struct FileDialogState;

// What the palette and translation windows' dialogs have in common: laid out
// in dialog units of their own font, one line naming the current object, Load
// asking for a file through the dialog's own file dialog memory, a file dropped
// on the window loaded as Load would load it, and Exit closing the window.
class LoadingDlgClient : public QWidget {
    Q_OBJECT
public:
    // Asks for a file and makes the object read from it current, whether or not
    // the file could be read; a cancelled dialog changes nothing.
    void Load();

protected:
    // `loadState` is the Load dialog's memory, kept for the whole run; `filter`
    // is the Load dialog's. The dialog is `size` dialog units large.
    LoadingDlgClient(QWidget* parent, Prompts& prompts, FileDialogState& loadState,
                     const char* filter, QSize size);

    // The dialog units the layout is given in.
    const DialogUnits& units() const { return units_; }
    // Makes the object read from `path` current, whatever the file holds.
    virtual void loadPath(const std::string& path) = 0;
    // Puts the name line at `place` (dialog units).
    void addNameLine(int id, QRect place);
    // Shows `name` on the name line, or "none Loaded..." for an object without one.
    void showName(const char* name);
    // The frame's close request: position stored, main window told once.
    void closeWindow();

private:
    Prompts& prompts_;
    FileDialogState& loadState_;
    const char* filter_;
    DialogUnits units_{1, 1}; // set from the font once it is set
    QLabel* name_ = nullptr;
};
