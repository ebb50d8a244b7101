// TPreviewForm: the page preview. Each page shown is drawn by a complete
// interpretation run (preview_render.h); its print buttons print the current
// page or the whole job on the set-up printer while the window stays open.
#pragma once

#include <QImage>
#include <QWidget>
#include <string>

#include "printer/ui/preview_navigation.h"

class QLabel;
class QScrollArea;
class QToolBar;
class QToolButton;

namespace zemprint {

class TSettings;
class TPrinterSetup;

class TPreviewForm : public QWidget {
public:
    explicit TPreviewForm(QWidget* parent = nullptr);

    // Shows the job from page 1, counting its pages, sized to the page.
    void showPreview(const TSettings& settings, TPrinterSetup& setup, const std::string& jobFile);
    // Draws the current page again (the settings may have changed).
    void redraw();

    const PreviewNavigation& navigation() const { return navigation_; }
    const QImage& pageImage() const { return page_; }
    QString pageLabel() const;
    // Screen resolution the pages are drawn at.
    double dotsPerInch() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void drawPage();
    void goTo(void (PreviewNavigation::*step)());
    void print(int singlePage);
    void updateControls();
    void fitToPage();
    bool scrollByWheel(class QWheelEvent* wheel);

    const TSettings* settings_ = nullptr;
    TPrinterSetup* setup_ = nullptr;
    std::string jobFile_;
    PreviewNavigation navigation_;
    WheelNotches wheel_;
    QImage page_;

    QToolBar* toolBar_ = nullptr;
    QToolButton* skipBack_ = nullptr;
    QToolButton* back_ = nullptr;
    QToolButton* forward_ = nullptr;
    QToolButton* skipForward_ = nullptr;
    QToolButton* printPage_ = nullptr;
    QToolButton* printAll_ = nullptr;
    QLabel* pageLabel_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QLabel* image_ = nullptr;
};

}  // namespace zemprint
