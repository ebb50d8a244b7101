#include "ui/screen_back_ends.h"

#include "config/settings.h"
#include "log/log.h"
#include "base/message_box.h"
#include "base/string_table.h"
#include "display/display.h"
#include "ui/main_loop.h"
#include "ui/screen_views.h"

#include <QApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>

FrameBackEnd::FrameBackEnd(ScreenHost& host, HostFormat format, QImage::Format imageFormat)
    : host_(host), format_(format), imageFormat_(imageFormat)
{
}

bool FrameBackEnd::setWindowMode(ClientSize, unsigned guestWidth, unsigned guestHeight)
{
    std::lock_guard guard(frame_.lock);
    frame_.image = QImage(int(guestWidth), int(guestHeight), imageFormat_);
    if (frame_.image.isNull()) {
        reportBackEndFailure("CreateTexture2D (staging)", 0, false);
        return false;
    }
    frame_.image.fill(0);
    frame_.changed = true;
    frame_.changedAll = true;
    return true;
}

// The views scale at paint time: nothing to rebuild.
bool FrameBackEnd::resize(ClientSize)
{
    host_.requestRepaint();
    return true;
}

void FrameBackEnd::cleanupMode()
{
    std::lock_guard guard(frame_.lock);
    frame_.image = QImage();
}

bool FrameBackEnd::lock(HostSurface& surface)
{
    frame_.lock.lock();
    if (frame_.image.isNull()) {
        frame_.lock.unlock();
        return false;
    }
    surface = {frame_.image.bits(), size_t(frame_.image.bytesPerLine())};
    return true;
}

void FrameBackEnd::noteChanged(const ChangedArea& area)
{
    // The frame lock is held since lock().
    if (frame_.changedAll) return;
    if (area.whole) {
        frame_.changedAll = true;
        frame_.changedArea = QRegion();
        return;
    }
    for (unsigned i = 0; i < area.count; ++i) {
        const ChangedArea::Band& b = area.bands[i];
        frame_.changedArea += QRect(int(b.left), int(b.top), int(b.right - b.left), int(b.bottom - b.top));
    }
}

void FrameBackEnd::unlock()
{
    frame_.changed = true;
    frame_.lock.unlock();
}

void FrameBackEnd::present() { host_.requestRepaint(); }

RasterBackEnd::RasterBackEnd(ScreenHost& host) : FrameBackEnd(host, HostFormat::Bgr0, QImage::Format_RGB32) {}

bool RasterBackEnd::init()
{
    view_ = new RasterView(frame_, host_);
    host_.installView(view_);
    return true;
}

namespace {

// Asks the view, on its own thread, to show what changed. The view is replaced only under
// the presentation lock, which the caller of present holds; a view deleted before the call
// arrives takes the call with it.
template <class View>
void queueShowChanges(const QPointer<View>& pointer)
{
    if (View* view = pointer.data())
        QMetaObject::invokeMethod(
            view, [view] { view->showChanges(); }, Qt::QueuedConnection);
}

}  // namespace

void RasterBackEnd::present() { queueShowChanges(view_); }

void RasterBackEnd::cleanup() { host_.installView(nullptr); }

OpenGlBackEnd::OpenGlBackEnd(ScreenHost& host) : FrameBackEnd(host, HostFormat::Rgb0, QImage::Format_RGBX8888) {}

bool OpenGlBackEnd::usable()
{
    QOpenGLContext context;
    if (!context.create()) return false;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface)) return false;
    context.doneCurrent();
    return true;
}

bool OpenGlBackEnd::init()
{
    if (!usable()) {
        reportBackEndFailure("CreateD3DDevice", 0, false);
        return false;
    }
    view_ = new OpenGlView(frame_, host_);
    host_.installView(view_);
    return true;
}

void OpenGlBackEnd::present() { queueShowChanges(view_); }

void OpenGlBackEnd::cleanup() { host_.installView(nullptr); }

SelectingBackEnd::SelectingBackEnd(ScreenHost& host) : host_(host) {}
SelectingBackEnd::~SelectingBackEnd() = default;

bool SelectingBackEnd::init()
{
    if (!chosen_) {
        kind_ = BackEndKind::Raster;
        if (settings.ScreenDriver == 0) {
            if (OpenGlBackEnd::usable())
                kind_ = BackEndKind::OpenGl;
            else
                zlog(LogCat::Error, "scr: No usable OpenGL: the raster back end draws instead\r\n");
        }
        if (kind_ == BackEndKind::OpenGl)
            chosen_ = std::make_unique<OpenGlBackEnd>(host_);
        else
            chosen_ = std::make_unique<RasterBackEnd>(host_);
        zlog(LogCat::Screen, "scr: %s back end\r\n", kind_ == BackEndKind::OpenGl ? "OpenGL" : "Raster");
    }
    return chosen_->init();
}

void SelectingBackEnd::cleanup()
{
    if (chosen_) chosen_->cleanup();
}

bool SelectingBackEnd::setWindowMode(ClientSize client, unsigned guestWidth, unsigned guestHeight)
{
    return chosen_ && chosen_->setWindowMode(client, guestWidth, guestHeight);
}

bool SelectingBackEnd::resize(ClientSize client) { return !chosen_ || chosen_->resize(client); }

void SelectingBackEnd::cleanupMode()
{
    if (chosen_) chosen_->cleanupMode();
}

bool SelectingBackEnd::lock(HostSurface& surface) { return chosen_ && chosen_->lock(surface); }

void SelectingBackEnd::noteChanged(const ChangedArea& area)
{
    if (chosen_) chosen_->noteChanged(area);
}

void SelectingBackEnd::unlock()
{
    if (chosen_) chosen_->unlock();
}

// The code a lost device reports.
constexpr unsigned long DeviceRemoved = 0x887A0005;

void SelectingBackEnd::present()
{
    if (!chosen_) return;
    if (failPresent_.exchange(false)) {
        zlog(LogCat::Screen, "scr: SwapChain Present: %08lx\r\n", DeviceRemoved);
        reportBackEndFailure("Present", DeviceRemoved, true);
        return;
    }
    chosen_->present();
}

HostFormat SelectingBackEnd::hostFormat() const
{
    if (chosen_) return chosen_->hostFormat();
    return settings.ScreenDriver == 0 ? HostFormat::Rgb0 : HostFormat::Bgr0;
}

void reportBackEndFailure(const char* operation, unsigned long code, bool reinitialise)
{
    const std::string text = formatString(StringId::CallFailed, operation, code);
    zlog(LogCat::Error, "%s\r\n", text.c_str());
    displaySetNotReady();
    if (!reinitialise) {
        showError(Caption::Program, text);
        return;
    }
    // The box and the re-initialise request run on the window thread once the caller (the
    // update thread, holding the display locks) has let go: a box waited for under the
    // locks would stall the window.
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app,
            [text] {
                showError(Caption::Program, text);
                zlog(LogCat::Screen, "ZEM: WM_REINITDISPLAY\r\n");
                displayChange(false);
            },
            Qt::QueuedConnection);
}
