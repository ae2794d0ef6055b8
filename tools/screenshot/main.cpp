// pz4shot SAMPLE OUTPUT.png [PALETTE TABLE PALETTE.png TRANSLATION.png [VIEWER.png
//         [ZOOMED.png]]]
// Starts the program as pz4 does, in the working directory, loads SAMPLE the way
// the Load button does (the open dialog answered with SAMPLE), selects a few
// frames, waits for the window manager to settle and saves the screen area
// around the windows to OUTPUT.png. Given VIEWER.png, it selects every frame,
// presses View and saves the windows with the viewer beside the list there; given
// ZOOMED.png as well, it zooms the viewer to 3 with Ctrl + "+" and saves it alone
// there. Given a
// palette and a table, it then opens
// the palette and colour translation windows, loads them through their Load
// buttons and saves a picture of each window.
// pz4shot SAMPLE ANIMATOR.png SCRIPT
// Loads SAMPLE as above, then presses Anim, loads and enables SCRIPT, presses
// Play and saves a picture of the main window, the animator and the player.
// Files are answered with the names as given, relative to the working
// directory, so the pictures show no folder of the machine that took them.
#include "anim/ui/AnimDlg.h"
#include "app/MainDlg.h"
#include "app/Pz4App.h"
#include "app/SDIDecFrame.h"
#include "context/ObjectManager.h"
#include "display/ui/ViewManager.h"
#include "display/ui/ViewWin.h"
#include "frames/ui/ListDlg.h"
#include "palette/ui/PALDlg.h"
#include "palette/ui/PALDlgClient.h"
#include "palette/ui/TRNDlg.h"
#include "palette/ui/TRNDlgClient.h"
#include "platform/ScriptedPrompts.h"

#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QImage>
#include <QKeyEvent>
#include <QListView>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <initializer_list>

namespace {

void settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The screen's pixels of each window, on a desktop colour instead of the bare
// root window of the virtual display.
bool saveWindows(std::initializer_list<const QWidget*> windows, const QString& output) {
    QScreen* screen = QGuiApplication::primaryScreen();
    QRect area;
    for (const QWidget* window : windows)
        area = area.united(window->frameGeometry());
    area = area.adjusted(-16, -16, 16, 16).intersected(screen->geometry());
    QImage shot(area.size(), QImage::Format_RGB32);
    shot.fill(QColor(58, 110, 165));
    QPainter painter(&shot);
    for (const QWidget* window : windows) {
        const QRect g = window->frameGeometry();
        painter.drawPixmap(g.topLeft() - area.topLeft(),
                           screen->grabWindow(0, g.x(), g.y(), g.width(), g.height()));
    }
    painter.end();
    if (!shot.save(output)) {
        std::fprintf(stderr, "pz4shot: cannot write %s\n", output.toLocal8Bit().constData());
        return false;
    }
    return true;
}

// The animator below the main window playing `scriptFile` in the player beside it.
bool saveAnimator(TSDIDecFrame* frame, TPz4ListDlg* list, ScriptedPrompts* script,
                  const char* scriptFile, const QString& output) {
    TPz4MainDlg* bar = frame->client();
    list->move(frame->frameGeometry().right() + 400, frame->frameGeometry().top());
    cObjectManager* objects = bar->objectManager();
    objects->AnX = frame->frameGeometry().left();
    objects->AnY = frame->frameGeometry().bottom() + 12;
    bar->CmAnim();
    auto* anim = static_cast<TPz4AnimDlg*>(bar->animDlg());
    if (!anim) {
        std::fprintf(stderr, "pz4shot: the animator did not open\n");
        return false;
    }
    settle(500);
    objects->AnWX = anim->frameGeometry().right() + 12;
    objects->AnWY = anim->frameGeometry().top();
    TPz4AnimDlgClient* client = anim->client();
    client->findChild<QCheckBox*>(QString::number(TPz4AnimDlgClient::ScriptCheckId))
        ->setChecked(true);
    script->answer(scriptFile);
    client->LoadScript();
    client->Play();
    for (const auto& m : script->messages)
        std::fprintf(stderr, "pz4shot: %s: %s\n", m.caption.c_str(), m.text.c_str());
    if (!client->player()) {
        std::fprintf(stderr, "pz4shot: %s did not play\n", scriptFile);
        return false;
    }
    settle(800);
    return saveWindows({frame, anim, client->player()}, output);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4 && argc != 7 && argc != 8 && argc != 9) {
        std::fprintf(stderr, "usage: pz4shot SAMPLE OUTPUT.png [PALETTE TABLE PALETTE.png "
                             "TRANSLATION.png [VIEWER.png [ZOOMED.png]]]\n"
                             "       pz4shot SAMPLE ANIMATOR.png SCRIPT\n");
        return 2;
    }
    const std::string sample = argv[1];
    const QString output = QString::fromLocal8Bit(argv[2]);
    int qtArgc = 1;
    TPz4App app(qtArgc, argv);

    auto prompts = std::make_unique<ScriptedPrompts>();
    ScriptedPrompts* script = prompts.get();
    TSDIDecFrame* frame = app.InitMainWindow(std::move(prompts));
    frame->move(24, 24);
    TPz4App::ShowNormalised(frame);
    settle(500);

    script->answer(sample);
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
    if (argc == 4)
        return saveAnimator(frame, list, script, argv[3], output) ? 0 : 1;
    settle(800);

    if (!saveWindows({frame, list}, output))
        return 1;
    if (argc >= 8) {
        frames->selectAll();
        frame->client()->CmView();
        cViewManager* view = frame->client()->viewManager();
        TPz4ViewWin* viewer = view ? view->window() : nullptr;
        if (!viewer) {
            std::fprintf(stderr, "pz4shot: no viewer opened\n");
            return 1;
        }
        // Moved once the window manager has placed it: a move while it is still
        // being mapped is lost.
        settle(300);
        viewer->move(list->frameGeometry().right() + 12, list->frameGeometry().top());
        settle(800);
        if (!saveWindows({frame, list, viewer}, QString::fromLocal8Bit(argv[7])))
            return 1;
        if (argc == 9) {
            viewer->activateWindow();
            settle(300);
            for (int i = 0; i < 2; ++i) {
                QKeyEvent plus(QEvent::KeyPress, Qt::Key_Plus, Qt::ControlModifier);
                QCoreApplication::sendEvent(viewer, &plus);
            }
            settle(800);
            if (!saveWindows({viewer}, QString::fromLocal8Bit(argv[8])))
                return 1;
            // The next run's viewers open at the zoom the user left, not this one.
            viewer->setZoom(1);
        }
        viewer->Close();
    }
    if (argc == 3)
        return 0;

    script->messages.clear();
    list->Close();
    TPz4MainDlg* bar = frame->client();
    bar->CmPalette();
    auto* palette = static_cast<TPz4PALDlg*>(bar->palDlg());
    palette->move(frame->frameGeometry().left(), frame->frameGeometry().bottom() + 12);
    script->answer(argv[3]);
    palette->client()->Load();
    bar->CmTrn();
    auto* translation = static_cast<TPz4TRNDlg*>(bar->trnDlg());
    translation->move(palette->frameGeometry().right() + 12, palette->frameGeometry().top());
    script->answer(argv[4]);
    translation->client()->Load();
    settle(800);
    for (const auto& m : script->messages)
        std::fprintf(stderr, "pz4shot: %s: %s\n", m.caption.c_str(), m.text.c_str());
    if (!saveWindows({palette}, QString::fromLocal8Bit(argv[5])) ||
        !saveWindows({translation}, QString::fromLocal8Bit(argv[6])))
        return 1;
    return 0;
}
