// pz4shot SAMPLE OUTPUT.png
// Starts the program as pz4 does, in the working directory, loads SAMPLE the way
// the Load button does (the open dialog answered with SAMPLE), selects a few
// frames, waits for the window manager to settle and saves the screen area
// around the windows to OUTPUT.png.
#include "app/MainDlg.h"
#include "app/Pz4App.h"
#include "app/SDIDecFrame.h"
#include "frames/ListDlg.h"
#include "platform/ScriptedPrompts.h"

#include <QDir>
#include <QEventLoop>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

namespace {

void settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pz4shot SAMPLE OUTPUT.png\n");
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
    settle(800);

    // The screen's pixels of each window, on a desktop colour instead of the
    // bare root window of the virtual display.
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = frame->frameGeometry()
                           .united(list->frameGeometry())
                           .adjusted(-16, -16, 16, 16)
                           .intersected(screen->geometry());
    QImage shot(area.size(), QImage::Format_RGB32);
    shot.fill(QColor(58, 110, 165));
    QPainter painter(&shot);
    for (const QWidget* window :
         {static_cast<const QWidget*>(frame), static_cast<const QWidget*>(list)}) {
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
