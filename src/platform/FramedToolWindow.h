#pragma once

#include "platform/ToolDialog.h"

// A tool window made of a caption frame around one client dialog: the frame
// takes the client's size and cannot be resized or maximised; it has the system
// menu, minimise and close boxes and the program's icon. The client does the
// work, the frame handles placement and closing.
class FramedToolWindow : public ToolDialog {
    Q_OBJECT
public:
    FramedToolWindow(QWidget* parent, int closingMessage, const QString& title);

protected:
    // Puts the client in place, filling the frame.
    void setClient(QWidget* client);
};
