// The widgets the back ends draw in: a plain widget painted with QPainter (raster) and a
// native OpenGL window drawing one textured quad straight into its own surface (an OpenGL
// widget would draw into a buffer that Qt then draws again into the window: a second
// full-screen pass, which a software renderer pays for in processor time). Both read the
// shared frame under its lock.
#pragma once

#include "ui/screen_back_ends.h"

#include <QOpenGLFunctions>
#include <QOpenGLWindow>
#include <QWidget>

class RasterView : public QWidget {
public:
    RasterView(SharedFrame& frame, ScreenHost& host, QWidget* parent = nullptr);
    // Schedules a repaint of what the frame says changed since the last call.
    void showChanges();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SharedFrame& frame_;
    ScreenHost& host_;
};

// The quad's window. It takes no input: keys and the pointer pass through it to the main
// window, as they do through the raster view.
class ScreenGlWindow : public QOpenGLWindow, protected QOpenGLFunctions {
public:
    ScreenGlWindow(SharedFrame& frame, ScreenHost& host);
    ~ScreenGlWindow() override;

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void releaseGl();

    SharedFrame& frame_;
    ScreenHost& host_;
    unsigned program_ = 0, vertexBuffer_ = 0, texture_ = 0;
    int textureWidth_ = 0, textureHeight_ = 0;
    int positionAttribute_ = -1, texCoordAttribute_ = -1;
};

// The view the main window holds: a widget carrying the quad's window.
class OpenGlView : public QWidget {
public:
    OpenGlView(SharedFrame& frame, ScreenHost& host, QWidget* parent = nullptr);
    // Draws the frame again (the window uploads what changed).
    void showChanges();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    ScreenGlWindow* window_;
    QWidget* container_;
};
