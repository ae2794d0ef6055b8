#pragma once

#include <QApplication>
#include <memory>
#include <string>

class Prompts;
class TSDIDecFrame;

// The application "Pz4": builds the main frame and runs until it closes.
class TPz4App : public QApplication {
    Q_OBJECT
public:
    TPz4App(int& argc, char** argv);
    ~TPz4App() override;

    // Builds the main frame (and with it the object manager) before anything shows.
    TSDIDecFrame* InitMainWindow(std::unique_ptr<Prompts> prompts = nullptr);
    // Shows the main frame, loads `file` (when given) as the Load button would,
    // and runs the event loop until the frame closes.
    int Run(const std::string& file = {});

    // Shows the frame: one asked to start maximised or full screen opens in its
    // normal size, one asked to start minimised stays minimised.
    static void ShowNormalised(QWidget* frame);

    // What the started program shows, for a check of an installed copy: the
    // title, the frames listed and every plug-in with its folder, one a line.
    std::string Report() const;

private:
    std::unique_ptr<TSDIDecFrame> frame_;
};
