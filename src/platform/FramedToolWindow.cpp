#include "platform/FramedToolWindow.h"

#include <QVBoxLayout>

FramedToolWindow::FramedToolWindow(QWidget* parent, int closingMessage, const QString& title)
    : ToolDialog(parent, closingMessage, title) {}

void FramedToolWindow::setClient(QWidget* client) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(client);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
