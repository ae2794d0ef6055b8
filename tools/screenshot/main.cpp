// pz4shot SAMPLE OUTPUT.png [SCRIPT]
// Starts the program as pz4 does, in the working directory, loads SAMPLE the way
// the Load button does (the open dialog answered with SAMPLE), selects a few
// frames, waits for the window manager to settle and saves the screen area
// around the windows to OUTPUT.png. With SCRIPT, the picture shows the animator
// instead of the frame list: Anim pressed, the script loaded and enabled, Play
// pressed, and the player running.
#include "anim/AnimDlg.h"
#include "app/MainDlg.h"
#include "app/ObjectManager.h"
#include "app/Pz4App.h"
#include "app/SDIDecFrame.h"
#include "frames/ListDlg.h"
#include "platform/ScriptedPrompts.h"

#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <vector>

namespace {

void settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: pz4shot SAMPLE OUTPUT.png [SCRIPT]\n");
        return 2;
    }
    const QString sample = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[1]));
    const QString output = QString::fromLocal8Bit(argv[2]);
    int qtArgc = 1;
    TPz4App app(qtArgc, argv);

    auto prompts = std::make_unique<ScriptedPrompts>();
    ScriptedPrompts* script = prompts.get();
    TSDIDecFrame* frame = app.InitMainWindow(std::move(prompts));
    frame->move(24, 24);
    TPz4App::ShowNormalised(frame);
    settle(500);

    script->answer(sample.toLocal8Bit().toStdString());
    frame->client()->CmLoad();
    for (const auto& m : script->messages)
        std::fprintf(stderr, "pz4shot: %s: %s\n", m.caption.c_str(), m.text.c_str());
    TPz4ListDlg* list = frame->client()->listDlg();
    if (!list) {
        std::fprintf(stderr, "pz4shot: %s did not load\n", argv[1]);
        return 1;
    }
    list->move(frame->frameGeometry().left(), frame->frameGeometry().bottom() + 12);
    auto* frames = list->findChild<QListView*>(QString::number(TPz4ListDlg::ListId));
    for (int row : {0, 2, 3})
        frames->selectionModel()->select(frames->model()->index(row, 0),
                                         QItemSelectionModel::Select);
    std::vector<const QWidget*> shown = {frame, list};
    if (argc == 4) {
        shown = {frame};
        // The list steps aside; the animator opens below the main window and the
        // player beside it.
        list->move(frame->frameGeometry().right() + 400, frame->frameGeometry().top());
        cObjectManager* objects = frame->client()->objectManager();
        objects->AnX = frame->frameGeometry().left();
        objects->AnY = frame->frameGeometry().bottom() + 12;
        frame->client()->CmAnim();
        auto* anim = static_cast<TPz4AnimDlg*>(frame->client()->animDlg());
        if (!anim) {
            std::fprintf(stderr, "pz4shot: the animator did not open\n");
            return 1;
        }
        settle(500);
        TPz4AnimDlgClient* client = anim->client();
        objects->AnWX = anim->frameGeometry().right() + 12;
        objects->AnWY = anim->frameGeometry().top();
        client->findChild<QCheckBox*>(QString::number(TPz4AnimDlgClient::ScriptCheckId))
            ->setChecked(true);
        script->answer(QDir::current()
                           .absoluteFilePath(QString::fromLocal8Bit(argv[3]))
                           .toLocal8Bit()
                           .toStdString());
        client->LoadScript();
        client->Play();
        for (const auto& m : script->messages)
            std::fprintf(stderr, "pz4shot: %s: %s\n", m.caption.c_str(), m.text.c_str());
        if (!client->player()) {
            std::fprintf(stderr, "pz4shot: the script did not play\n");
            return 1;
        }
        shown.push_back(anim);
        shown.push_back(client->player());
    }
    settle(800);

    // The screen's pixels of each window, on a desktop colour instead of the
    // bare root window of the virtual display.
    QScreen* screen = QGuiApplication::primaryScreen();
    QRect area;
    for (const QWidget* window : shown)
        area = area.united(window->frameGeometry());
    area = area.adjusted(-16, -16, 16, 16).intersected(screen->geometry());
    QImage shot(area.size(), QImage::Format_RGB32);
    shot.fill(QColor(58, 110, 165));
    QPainter painter(&shot);
    for (const QWidget* window : shown) {
        const QRect g = window->frameGeometry();
        painter.drawPixmap(g.topLeft() - area.topLeft(),
                           screen->grabWindow(0, g.x(), g.y(), g.width(), g.height()));
    }
    painter.end();
    if (!shot.save(output)) {
        std::fprintf(stderr, "pz4shot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
