// Placing the program's windows on the screen.
#pragma once

class QWidget;

namespace zemprint {

// Moves the window so that its frame is centred in the work area of its screen.
void centreInWorkArea(QWidget& window);

}  // namespace zemprint
