// The widgets the back ends draw in: a plain widget painted with QPainter (raster) and an
// OpenGL widget drawing one textured quad. Both read the shared frame under its lock.
#pragma once

#include "ui/screen_back_ends.h"

#include <QOpenGLFunctions>
#include <QOpenGLWidget>
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

class OpenGlView : public QOpenGLWidget, protected QOpenGLFunctions {
public:
    OpenGlView(SharedFrame& frame, ScreenHost& host, QWidget* parent = nullptr);
    ~OpenGlView() override;

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
