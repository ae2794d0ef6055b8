#include "app/SDIDecFrame.h"

#include "app/MainDlg.h"
#include "platform/Prompts.h"

#include <QCloseEvent>
#include <QIcon>
#include <QVBoxLayout>

TSDIDecFrame::TSDIDecFrame(std::unique_ptr<Prompts> prompts)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Pz4.0"));
    client_ = new TPz4MainDlg(this, std::move(prompts));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(client_);
    // Follows the client's size and cannot be resized by the user.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setWindowIcon(QIcon(QStringLiteral(":/icons/800.png")));
    // By the time this runs the client is no longer a TPz4MainDlg: forget it first.
    connect(client_, &QObject::destroyed, this, [this] {
        client_ = nullptr;
        close();
    });
}

TSDIDecFrame::~TSDIDecFrame() {
    if (TPz4MainDlg* client = client_) {
        // Not through close(): this frame is already going.
        disconnect(client, nullptr, this, nullptr);
        client_ = nullptr;
        delete client;
    }
}

void TSDIDecFrame::closeEvent(QCloseEvent* event) {
    // The close box: the button bar shuts the program down as it is destroyed,
    // exactly as after Exit.
    if (TPz4MainDlg* client = client_) {
        client_ = nullptr;
        delete client;
    }
    event->accept();
}
