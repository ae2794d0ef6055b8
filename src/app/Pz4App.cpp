#include "app/Pz4App.h"

#include "app/SDIDecFrame.h"
#include "platform/Prompts.h"

// Resources of a static library are registered by hand; outside any namespace.
static void initResources() {
    Q_INIT_RESOURCE(pz4);
}

TPz4App::TPz4App(int& argc, char** argv) : QApplication(argc, argv) {
    initResources();
    setApplicationName(QStringLiteral("Pz4"));
}

TPz4App::~TPz4App() = default;

TSDIDecFrame* TPz4App::InitMainWindow(std::unique_ptr<Prompts> prompts) {
    frame_ = std::make_unique<TSDIDecFrame>(std::move(prompts));
    return frame_.get();
}

void TPz4App::ShowNormalised(QWidget* frame) {
    const Qt::WindowStates state = frame->windowState();
    if (state & Qt::WindowMinimized) {
        frame->showMinimized();
        return;
    }
    frame->setWindowState(state & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
    frame->showNormal();
}

int TPz4App::Run() {
    if (!frame_)
        InitMainWindow();
    ShowNormalised(frame_.get());
    return exec();
}
