#include "ui/screen_views.h"

#include "config/settings.h"
#include "log/log.h"

#include <QPainter>

namespace {

// Two triangles covering the viewport: x, y, u, v per vertex, the top row of the picture
// at the top of the window.
constexpr float QuadVertices[] = {
    -1, 1, 0, 0, 1, 1, 1, 0, -1, -1, 0, 1, -1, -1, 0, 1, 1, 1, 1, 0, 1, -1, 1, 1,
};
constexpr int QuadVertexCount = 6;
constexpr int FloatsPerVertex = 4;

constexpr const char* VertexShader =
    "attribute vec2 position;\n"
    "attribute vec2 texCoord;\n"
    "varying vec2 coord;\n"
    "void main() { coord = texCoord; gl_Position = vec4(position, 0.0, 1.0); }\n";
constexpr const char* FragmentShader =
    "#ifdef GL_ES\nprecision mediump float;\n#endif\n"
    "uniform sampler2D screen;\n"
    "varying vec2 coord;\n"
    "void main() { gl_FragColor = vec4(texture2D(screen, coord).rgb, 1.0); }\n";

}  // namespace

RasterView::RasterView(SharedFrame& frame, ScreenHost& host, QWidget* parent)
    : QWidget(parent), frame_(frame), host_(host)
{
    // Every pixel is painted here: Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void RasterView::showChanges()
{
    QRegion changed;
    QSize imageSize;
    {
        std::lock_guard guard(frame_.lock);
        imageSize = frame_.image.size();
        const bool all = frame_.changedAll || frame_.image.isNull();
        if (!all) changed = frame_.changedArea;
        frame_.changedAll = false;
        frame_.changedArea = QRegion();
        // Everything, or a present with nothing converted: the whole view.
        if (all || changed.isEmpty()) {
            update();
            return;
        }
    }
    // Image pixels to view pixels, rounded outwards with a pixel to spare for filtering.
    const QRect target = host_.destination();
    QRegion area;
    for (const QRect& r : changed) {
        const int left = target.x() + int(int64_t(r.left()) * target.width() / imageSize.width()) - 1;
        const int top = target.y() + int(int64_t(r.top()) * target.height() / imageSize.height()) - 1;
        const int right =
            target.x() + int((int64_t(r.right() + 1) * target.width() + imageSize.width() - 1) / imageSize.width()) + 1;
        const int bottom =
            target.y() +
            int((int64_t(r.bottom() + 1) * target.height() + imageSize.height() - 1) / imageSize.height()) + 1;
        area += QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
    }
    update(area);
}

void RasterView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect target = host_.destination();
    std::lock_guard guard(frame_.lock);
    if (frame_.image.isNull() || target != rect()) painter.fillRect(rect(), Qt::black);
    if (!frame_.image.isNull()) painter.drawImage(target, frame_.image);
    frame_.changed = false;
}

ScreenGlWindow::ScreenGlWindow(SharedFrame& frame, ScreenHost& host)
    : QOpenGLWindow(QOpenGLWindow::NoPartialUpdate), frame_(frame), host_(host)
{
    setFlags(flags() | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
    // Presents are paced by the update thread; a swap must never wait for the monitor.
    QSurfaceFormat format = requestedFormat();
    format.setSwapInterval(0);
    setFormat(format);
}

ScreenGlWindow::~ScreenGlWindow()
{
    makeCurrent();
    releaseGl();
    doneCurrent();
}

OpenGlView::OpenGlView(SharedFrame& frame, ScreenHost& host, QWidget* parent)
    : QWidget(parent), window_(new ScreenGlWindow(frame, host))
{
    container_ = QWidget::createWindowContainer(window_, this);
    container_->setFocusPolicy(Qt::NoFocus);
    // Pointer events belong to the main window, whichever of the three the X server
    // hands them to.
    container_->setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    container_->setGeometry(rect());
}

void OpenGlView::showChanges() { window_->update(); }

void OpenGlView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    container_->setGeometry(rect());
}

void ScreenGlWindow::releaseGl()
{
    if (!context()) return;
    if (texture_) glDeleteTextures(1, &texture_);
    if (vertexBuffer_) glDeleteBuffers(1, &vertexBuffer_);
    if (program_) glDeleteProgram(program_);
    texture_ = vertexBuffer_ = program_ = 0;
    textureWidth_ = textureHeight_ = 0;
}

namespace {

unsigned compileShader(QOpenGLFunctions& gl, unsigned kind, const char* source)
{
    unsigned shader = gl.glCreateShader(kind);
    gl.glShaderSource(shader, 1, &source, nullptr);
    gl.glCompileShader(shader);
    int ok = 0;
    gl.glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char text[512] = {};
        gl.glGetShaderInfoLog(shader, sizeof text - 1, nullptr, text);
        zlog(LogCat::Error, "scr: Shader compilation failed: %s\r\n", text);
    }
    return shader;
}

}  // namespace

void ScreenGlWindow::initializeGL()
{
    initializeOpenGLFunctions();
    const unsigned vs = compileShader(*this, GL_VERTEX_SHADER, VertexShader);
    const unsigned fs = compileShader(*this, GL_FRAGMENT_SHADER, FragmentShader);
    program_ = glCreateProgram();
    glAttachShader(program_, vs);
    glAttachShader(program_, fs);
    glLinkProgram(program_);
    glDeleteShader(vs);
    glDeleteShader(fs);
    positionAttribute_ = glGetAttribLocation(program_, "position");
    texCoordAttribute_ = glGetAttribLocation(program_, "texCoord");
    glGenBuffers(1, &vertexBuffer_);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    glBufferData(GL_ARRAY_BUFFER, sizeof QuadVertices, QuadVertices, GL_STATIC_DRAW);
    glGenTextures(1, &texture_);
    zlog(LogCat::Screen, "scr: OpenGL %s on %s\r\n", reinterpret_cast<const char*>(glGetString(GL_VERSION)),
         reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
}

void ScreenGlWindow::paintGL()
{
    const qreal scale = devicePixelRatioF();
    // The quad covers the view unless the aspect ratio leaves borders: a software renderer
    // pays for a clear of every pixel.
    const QRect target = host_.destination();
    glClearColor(0, 0, 0, 1);
    if (target != QRect(QPoint(), size())) glClear(GL_COLOR_BUFFER_BIT);
    glBindTexture(GL_TEXTURE_2D, texture_);
    {
        std::lock_guard guard(frame_.lock);
        if (frame_.image.isNull()) {
            glClear(GL_COLOR_BUFFER_BIT);
            return;
        }
        const QImage& image = frame_.image;
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        if (image.width() != textureWidth_ || image.height() != textureHeight_) {
            textureWidth_ = image.width();
            textureHeight_ = image.height();
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, textureWidth_, textureHeight_, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                         image.constBits());
        } else if (frame_.changed) {
            // Only the lines that changed go up (the whole width: rows stay contiguous).
            QRect lines(0, 0, textureWidth_, textureHeight_);
            if (!frame_.changedAll && !frame_.changedArea.isEmpty())
                lines = QRect(0, frame_.changedArea.boundingRect().top(), textureWidth_,
                              frame_.changedArea.boundingRect().height()) &
                        image.rect();
            if (!lines.isEmpty())
                glTexSubImage2D(GL_TEXTURE_2D, 0, 0, lines.top(), textureWidth_, lines.height(), GL_RGBA,
                                GL_UNSIGNED_BYTE, image.constScanLine(lines.top()));
        }
        frame_.changed = false;
        frame_.changedAll = false;
        frame_.changedArea = QRegion();
    }
    const GLint filter = settings.ScreenFilter ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    // The viewport counts from the bottom left.
    glViewport(int(target.x() * scale), int((height() - target.y() - target.height()) * scale),
               int(target.width() * scale), int(target.height() * scale));
    glUseProgram(program_);
    glUniform1i(glGetUniformLocation(program_, "screen"), 0);
    glActiveTexture(GL_TEXTURE0);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    glEnableVertexAttribArray(unsigned(positionAttribute_));
    glEnableVertexAttribArray(unsigned(texCoordAttribute_));
    glVertexAttribPointer(unsigned(positionAttribute_), 2, GL_FLOAT, GL_FALSE, FloatsPerVertex * sizeof(float),
                          nullptr);
    glVertexAttribPointer(unsigned(texCoordAttribute_), 2, GL_FLOAT, GL_FALSE, FloatsPerVertex * sizeof(float),
                          reinterpret_cast<const void*>(2 * sizeof(float)));
    glDrawArrays(GL_TRIANGLES, 0, QuadVertexCount);
    glDisableVertexAttribArray(unsigned(positionAttribute_));
    glDisableVertexAttribArray(unsigned(texCoordAttribute_));
}
