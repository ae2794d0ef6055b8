#pragma once

#include "app/MainDlg.h"

#include <QWidget>
#include <memory>

class Prompts;

// The main frame: a fixed-size top-level window around the main button bar,
// sized to it, that closes when the button bar is destroyed.
class TSDIDecFrame : public QWidget {
    Q_OBJECT
public:
    // Finding no client, the frame builds the main button bar as its client.
    explicit TSDIDecFrame(std::unique_ptr<Prompts> prompts = nullptr);
    ~TSDIDecFrame() override;

    TPz4MainDlg* client() const { return client_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TPz4MainDlg* client_ = nullptr; // null once destroyed
};
