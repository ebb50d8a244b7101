// The window program's presentation back ends. Both keep the converted guest screen in a
// QImage of the guest size that the update thread writes under the frame lock; what
// differs is how the picture reaches the window: the raster back end stretches the image
// with QPainter, the OpenGL back end uploads it into a texture and draws one quad.
//
// The selecting back end is what the display sees: at its first init it picks OpenGL for
// ScreenDriver 0 (falling back to raster, logged, when no OpenGL context can be had) and
// raster for 1, and forwards every operation to the chosen one.
#pragma once

#include "display/display_back_end.h"

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QRegion>

#include <atomic>
#include <memory>
#include <mutex>

class QWidget;
class RasterView;
class OpenGlView;

// The picture shared by the update thread (writer) and the GUI thread (painter).
struct SharedFrame {
    std::mutex lock;
    QImage image;
    bool changed = false;  // written since the view last took it (OpenGL upload)
    // Where it was written since the view last took it, in image pixels; `changedAll`:
    // everything (or not known). The views send on only that much.
    QRegion changedArea;
    bool changedAll = true;
};

// What a back end needs from the window: a view widget to draw in and a way to ask for
// a repaint from the update thread.
class ScreenHost {
public:
    virtual ~ScreenHost() = default;
    virtual void installView(QWidget* view) = 0;
    virtual void requestRepaint() = 0;
    // The part of the view the picture fills (the whole view unless the aspect ratio is
    // kept in full screen).
    virtual QRect destination() const = 0;
};

enum class BackEndKind { OpenGl, Raster };

class FrameBackEnd : public DisplayBackEnd {
public:
    FrameBackEnd(ScreenHost& host, HostFormat format, QImage::Format imageFormat);
    bool setWindowMode(ClientSize client, unsigned guestWidth, unsigned guestHeight) override;
    bool resize(ClientSize client) override;
    void cleanupMode() override;
    bool lock(HostSurface& surface) override;
    void noteChanged(const ChangedArea& area) override;
    void unlock() override;
    void present() override;
    HostFormat hostFormat() const override { return format_; }
    bool stretchCapable() const override { return true; }

    SharedFrame& frame() { return frame_; }

protected:
    ScreenHost& host_;
    SharedFrame frame_;

private:
    HostFormat format_;
    QImage::Format imageFormat_;
};

// ScreenDriver 1: variant 1 of the 32-bit host format (bytes B, G, R, 0).
class RasterBackEnd : public FrameBackEnd {
public:
    explicit RasterBackEnd(ScreenHost& host);
    bool init() override;
    void cleanup() override;
    // Repaints only what changed: a window rewritten a band at a time would otherwise copy
    // and send the whole picture for every band.
    void present() override;

private:
    QPointer<RasterView> view_;  // changed only under the presentation lock, as present runs
};

// ScreenDriver 0: variant 2 (bytes R, G, B, 0), the byte order a texture takes as it is.
class OpenGlBackEnd : public FrameBackEnd {
public:
    explicit OpenGlBackEnd(ScreenHost& host);
    bool init() override;
    void cleanup() override;
    // Draws in the view's own window, which the main window's repaints do not reach.
    void present() override;
    // Whether an OpenGL context can be created and made current here.
    static bool usable();

private:
    QPointer<OpenGlView> view_;  // as the raster back end's
};

class SelectingBackEnd : public DisplayBackEnd {
public:
    explicit SelectingBackEnd(ScreenHost& host);
    ~SelectingBackEnd() override;

    bool init() override;
    void cleanup() override;
    bool setWindowMode(ClientSize client, unsigned guestWidth, unsigned guestHeight) override;
    bool resize(ClientSize client) override;
    void cleanupMode() override;
    bool lock(HostSurface& surface) override;
    void noteChanged(const ChangedArea& area) override;
    void unlock() override;
    void present() override;
    HostFormat hostFormat() const override;
    bool stretchCapable() const override { return true; }

    // Which back end runs (valid after the first init).
    BackEndKind kind() const { return kind_; }

    // Test hook: the next present fails as a lost device would, once.
    void failNextPresent() { failPresent_.store(true); }

private:
    ScreenHost& host_;
    std::unique_ptr<FrameBackEnd> chosen_;
    BackEndKind kind_ = BackEndKind::Raster;
    std::atomic<bool> failPresent_{false};
};

// A back end call failed: formats the failure message with the operation's name and the
// error code, logs it and shows it, and marks the display not ready. With `reinitialise`
// (a failure while running) the window then re-creates the back end on its own thread;
// without (set-up on the window thread) the caller reports failure instead.
void reportBackEndFailure(const char* operation, unsigned long code, bool reinitialise);
