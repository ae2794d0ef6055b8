#pragma once

#include "TempWorkDir.h"
#include "app/MainDlg.h"
#include "app/Pz4App.h"
#include "app/SDIDecFrame.h"
#include "platform/ScriptedPrompts.h"
#include "platform/ToolDialog.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace pz4test {

// The one application object of a ui test program, built on first use and kept
// for the whole run, as the program keeps its own.
inline TPz4App& app() {
    static int argc = 1;
    static char name[] = "pz4-ui-test";
    static char* argv[] = {name, nullptr};
    static TPz4App* instance = new TPz4App(argc, argv);
    return *instance;
}

// A parent window that records the closing messages its tool windows send it.
class ClosingRecorder : public QWidget, public ClosingReceiver {
public:
    void closingNotification(int message) override { messages.push_back(message); }
    std::vector<int> messages;
};

// Runs the deletions windows asked for (closed tool windows, Exit).
inline void runDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct DropResult {
    bool enterAccepted;
    bool dropAccepted;
};

// Drags `data` over `target` and lets go, as the window system delivers it, then
// runs what the drop queued.
inline DropResult drop(QWidget* target, const QMimeData& data) {
    const QPoint at(2, 2);
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent dropped(QPointF(at), actions, &data, Qt::LeftButton, Qt::NoModifier);
    dropped.ignore();
    QCoreApplication::sendEvent(target, &dropped);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    return {enter.isAccepted(), dropped.isAccepted()};
}

// Drops these files on `target`.
inline DropResult dropFiles(QWidget* target, const std::vector<std::string>& paths) {
    QList<QUrl> urls;
    for (const std::string& p : paths)
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(p)));
    QMimeData data;
    data.setUrls(urls);
    return drop(target, data);
}

inline std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Whether the file at `path` holds the line `line`.
inline bool hasLine(const std::string& path, const std::string& line) {
    const std::vector<std::string> lines = readLines(path);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A tool window tested on its own: a working directory and a parent recording
// the closing messages, made after the application object.
class ToolWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        parent = std::make_unique<ClosingRecorder>();
    }
    std::string path(const std::string& name) const { return (dir.path() / name).string(); }

    TempWorkDir dir;
    std::unique_ptr<ClosingRecorder> parent;
};

// The program driven through its main window, started on a scripted prompter
// in a working directory of its own.
class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override { app(); }
    void TearDown() override {
        frame.reset();
        runDeferredDeletes();
    }

    // Opens the main window as the program starts, in `dir`.
    void start() {
        auto p = std::make_unique<ScriptedPrompts>();
        prompts = p.get();
        frame = std::make_unique<TSDIDecFrame>(std::move(p));
        TPz4App::ShowNormalised(frame.get());
    }
    TPz4MainDlg* dlg() const { return frame->client(); }
    // The ui fixture plug-in, configured by `cfg`.
    void plugin(const std::string& cfg = {}) {
        dir.addFixture("pzuifix");
        dir.write("pzuifix.cfg", cfg);
    }
    // Loads `name`, made empty if missing, through the Load dialog.
    void load(const std::string& name) {
        if (!dir.exists(name))
            dir.write(name, std::string());
        prompts->answer(path(name));
        dlg()->CmLoad();
    }
    std::string path(const std::string& name) const { return (dir.path() / name).string(); }
    // The messages shown so far, each as "caption: text".
    std::vector<std::string> messages() const {
        std::vector<std::string> m;
        for (const auto& msg : prompts->messages)
            m.push_back(msg.caption + ": " + msg.text);
        return m;
    }
    // What the fixture plug-in `stem` logged, less its loading and unloading.
    std::vector<std::string> saveLog(const std::string& stem = "pzuifix") const {
        std::vector<std::string> lines;
        for (const std::string& l : readLines(path(stem + ".log")))
            if (l.rfind("Load", 0) != 0 && l != "UnloadObject")
                lines.push_back(l);
        return lines;
    }

    TempWorkDir dir;
    ScriptedPrompts* prompts = nullptr;
    std::unique_ptr<TSDIDecFrame> frame;
};

} // namespace pz4test
