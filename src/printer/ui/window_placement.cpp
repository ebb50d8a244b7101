#include "printer/ui/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace zemprint {

void centreInWorkArea(QWidget& window)
{
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect work = screen->availableGeometry();
    QRect frame = window.frameGeometry();
    frame.moveCenter(work.center());
    window.move(frame.topLeft());
}

}  // namespace zemprint
