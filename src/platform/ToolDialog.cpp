#include "platform/ToolDialog.h"

#include <QCloseEvent>

ToolDialog::ToolDialog(QWidget* parent, int closingMessage, Qt::WindowFlags flags)
    : QDialog(parent, flags), closingMessage_(closingMessage) {
    setAttribute(Qt::WA_DeleteOnClose);
}

void ToolDialog::Close() {
    close();
}

void ToolDialog::closeEvent(QCloseEvent* event) {
    storePosition();
    if (!closeNotified_) {
        closeNotified_ = true;
        if (auto* receiver = dynamic_cast<ClosingReceiver*>(parentWidget()))
            receiver->closingNotification(closingMessage_);
    }
    event->accept();
}
