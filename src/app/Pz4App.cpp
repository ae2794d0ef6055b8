#include "app/Pz4App.h"

#include "app/SDIDecFrame.h"
#include "context/ObjectManager.h"
#include "platform/Prompts.h"
#include "plugins/DllManager.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFileInfo>
#include <QListView>
#include <QTimer>
#include <cstdlib>
#include <fstream>

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

int TPz4App::Run(const std::string& file) {
    if (!frame_)
        InitMainWindow();
    ShowNormalised(frame_.get());
    if (!file.empty()) {
        // The full path, as the open dialog would give it: the title shows it.
        const std::string path =
            QDir::toNativeSeparators(
                QFileInfo(QString::fromLocal8Bit(file.c_str())).absoluteFilePath())
                .toLocal8Bit()
                .toStdString();
        QTimer::singleShot(0, this, [this, path] {
            if (TPz4MainDlg* main = frame_ ? frame_->client() : nullptr)
                main->LoadFile(path.c_str());
        });
    }
    // PZ4_SMOKE_REPORT=FILE: once started, write Report() to FILE and end. How
    // test.sh checks that an installed or packaged copy starts and finds its
    // plug-ins, with nothing on screen to look at.
    if (const char* report = std::getenv("PZ4_SMOKE_REPORT"); report != nullptr && *report) {
        const std::string target = report;
        QTimer::singleShot(0, this, [this, target] {
            std::ofstream(target, std::ios::binary) << Report();
            quit();
        });
    }
    return exec();
}

std::string TPz4App::Report() const {
    std::string out;
    const TPz4MainDlg* main = frame_ ? frame_->client() : nullptr;
    out += "title: " + frame_->windowTitle().toLocal8Bit().toStdString() + "\n";
    int listed = 0;
    if (main != nullptr && main->listDlg() != nullptr) {
        if (const auto* list =
                main->listDlg()->findChild<QListView*>(QString::number(TPz4ListDlg::ListId)))
            listed = list->model()->rowCount();
    }
    out += "frames listed: " + std::to_string(listed) + "\n";
    if (main != nullptr) {
        const cDllManager& plugins = *main->objectManager()->dllManager;
        for (int i = 0; i < plugins.count; ++i) {
            const char* ext = plugins.PluginExtension(i);
            out += std::string("plug-in: ") + plugins.PluginFolder(i) + "/" +
                   plugins.PluginFileName(i) + " " + (ext != nullptr ? ext : "(not loaded)") + "\n";
        }
    }
    return out;
}
