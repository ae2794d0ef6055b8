#pragma once

#include "display/FrameImage.h"
#include "platform/CrispImage.h"
#include "platform/ToolDialog.h"

#include <QPixmap>
#include <cstdint>
#include <memory>
#include <vector>

class QImage;
class QPainter;
class cFrameList;
class cObjectManager;
class WindowTimer;
class ZoomControl;

// The player: shows a frame chain as an endless animation, one frame at a time
// at the top-left corner, stepping on its timer. Each frame is converted once,
// when the player is made, with its own mirroring; a step then only copies a
// ready picture. The animator that owns it is told of its closing (996).
class TPz4AnimWin : public ToolDialog {
    Q_OBJECT
public:
    static constexpr int TimerId = 12;
    static constexpr int TimerPeriodMs = 1; // as requested; the platform's floor applies
    // Outer width is the widest frame plus the border, up to this; the height has no cap.
    static constexpr int MaxOuterWidth = 400;
    static constexpr int BorderWidth = 6;
    static constexpr int BorderHeight = 35;
    // Screen pixmaps are kept for frames already drawn up to this many bytes; past
    // it a step converts that frame's picture as it draws. Frames are cached in the
    // order first drawn and never evicted: a player runs through its frames in a
    // cycle, where evicting the least recently used would always evict the frame
    // needed next.
    static constexpr int64_t kPixmapCacheBytes = int64_t{256} << 20;

    // Takes the chain, which must hold at least one frame. The caller shows the window.
    TPz4AnimWin(QWidget* parent, cObjectManager* objectManager, std::unique_ptr<cFrameList> frames);
    ~TPz4AnimWin() override;

    // Ticks left out between two steps; read at the next tick.
    void SetDelay(int n) { delay_ = n; }
    // While paused a step draws nothing and the next frame stays the same.
    void SetPaused(bool p) { paused_ = p; }
    // While paused: shows the frame `delta` places after (before, when negative)
    // the one on screen in the order of play, wrapping at both ends; play
    // continues after it.
    void stepWhilePaused(int delta);
    // The file's own timing (T): each frame stays its tag in hundredths of a
    // second (0 and 1 as 10, as web browsers play them) and the delay set is not
    // used.
    void setFileTiming(bool on);
    bool fileTiming() const { return fileTiming_; }
    // Ping-pong (P): frames run 0 1 2 1 0 1 ..., the end frames not repeated.
    void setPingPong(bool on);
    bool pingPong() const { return pingPong_; }
    // The onion skin (O): 0 off; 1 the frame before in the order of play over the
    // frame shown, at a third (two thirds shown, one third before); 2 the frames
    // before and after, each a third of what shows. The object manager keeps
    // these three for the next player.
    void setOnionSkin(int mode);
    int onionSkin() const { return onion_; }
    // What the tooltip over the window says of the frame on screen: its number in
    // the file, its place in the chain ("12 of 40"), its size and its tag.
    QString frameInfo() const;
    // The zoom factor, 1 to 8: frames shown at zoom x their size, pixel for pixel,
    // the window sized to fit. The object manager keeps it for the next player.
    int zoom() const { return zoom_; }
    void setZoom(int factor);
    // The next backdrop behind transparent pixels (the B key): the pictures are
    // made again; the object manager keeps it for the next player.
    void nextBackdrop();
    // Starts the window's timer, whose ticks go to Tick; it runs until the window closes.
    void setTimer(int id, int periodMs);
    // One tick of timer `id`: a step every delay + 1 ticks of timer 12.
    void Tick(int id);

    int nextFrame() const { return nextFrame_; }
    int delay() const { return delay_; }
    bool paused() const { return paused_; }
    int maxWidth() const { return maxWidth_; }
    int maxHeight() const { return maxHeight_; }
    int frameCount() const { return static_cast<int>(images_.size()); }
    bool timerActive() const;
    int timerPeriod() const;
    // The cache's bound: kPixmapCacheBytes unless set otherwise.
    void setPixmapBudget(int64_t bytes) { pixmapBudget_ = bytes; }
    // Bytes held by cached screen pixmaps.
    int64_t cachedPixmapBytes() const { return cachedBytes_; }
    // The screen picture of frame i (converted now when not cached).
    QPixmap screenPixmap(int i) const;

signals:
    // A step drew frame `index` (its place in the chain).
    void frameShown(int index);
    // Space was pressed: the owner pauses or continues, as its Stop/Cont button does.
    void pauseToggleRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    // Space asks to pause or continue; Right and Left step while paused; B, T, P
    // and O change the backdrop, the timing, ping-pong and the onion skin.
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void SetFrames(std::unique_ptr<cFrameList> frames);
    void MeasureFrames();
    void BuildImages();
    // The step a tick makes: draws frame nextFrame through a paint of its area.
    void ShowNextFrame();
    // Draws frame nextFrame at (0, 0) and moves on; the area it covered.
    QRect drawStep(QPainter& painter);
    void advance();
    // Places in the order of play: the chain once, or there and back.
    int cycleLength() const;
    int frameAt(int position) const;
    // Ticks frame `frame` stays on screen.
    int stepTicks(int frame) const;
    // Frame i's screen pixmap, cached while the budget allows, else made into
    // `scratch`.
    const QPixmap& cachedPixmap(size_t i, QPixmap& scratch);
    // The frame at nextFrame with the onion skin, for its place in the order of
    // play: cached while the budget allows, else made into `scratch`.
    const QPixmap& onionPixmap(QPixmap& scratch);
    void dropOnionPixmaps();
    // Draws frame nextFrame now, paused or not, and moves on.
    void drawNow();
    // Outer size: at zoom 1 the widest frame plus the border, at most
    // MaxOuterWidth wide; above it the zoomed frames plus the border, within the
    // screen's available area.
    QSize outerSizeForZoom() const;
    // The screen picture of frame i as it is cached: made for the zoom and the
    // screen's density.
    QPixmap makePixmap(const FrameImage& image) const;

    cObjectManager* objectManager_;
    std::unique_ptr<cFrameList> frames_;
    bool busy_ = false;
    bool paused_ = true;
    int maxWidth_ = 0;
    int maxHeight_ = 0;
    int nextFrame_ = 0;
    int position_ = 0;    // nextFrame's place in the order of play
    int shownFrame_ = -1; // the frame on screen
    bool fileTiming_ = false;
    bool pingPong_ = false;
    int onion_ = 0;
    // What the tooltip and the file's timing need of each frame, kept when the
    // chain goes at closing.
    struct FrameInfo {
        int frame, width, height, tag;
    };
    std::vector<FrameInfo> infos_;
    std::vector<QPixmap> onionPixmaps_; // by place in the order of play; null where not made
    int64_t onionBytes_ = 0;
    int delay_ = 0;
    int tickCount_ = 0;
    std::vector<FrameImage> images_;
    std::vector<QPixmap> pixmaps_; // null where not cached
    int64_t cachedBytes_ = 0;
    int64_t pixmapBudget_ = kPixmapCacheBytes;
    bool stepPainted_ = false;
    int zoom_ = 1;
    BlockScale scale_;        // the cached pixmaps were made for this
    bool stepForced_ = false; // the next paint draws even while paused
    WindowTimer* timer_;
    ZoomControl* zoomControl_;
};
