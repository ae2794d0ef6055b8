#include "platform/FramedToolWindow.h"

#include <QIcon>
#include <QVBoxLayout>

FramedToolWindow::FramedToolWindow(QWidget* parent, int closingMessage, const QString& title)
    : ToolDialog(parent, closingMessage,
                 Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                     Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                     Qt::WindowCloseButtonHint) {
    setWindowTitle(title);
    setWindowIcon(QIcon(QStringLiteral(":/icons/800.png")));
}

void FramedToolWindow::setClient(QWidget* client) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(client);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
