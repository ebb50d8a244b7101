#include "printer/ui/preview_window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>

#include "printer/base/errors.h"
#include "printer/ui/message_runner.h"
#include "printer/run/preview_render.h"
#include "printer/run/print_run.h"
#include "printer/ui/window_placement.h"

namespace zemprint {

namespace {

// Room around the page image inside the window: the scroll box's border.
constexpr int kPageMargin = 4;
constexpr double kFallbackDotsPerInch = 96.0;

QToolButton* addButton(QToolBar* bar, const char* text, const char* hint)
{
    auto* button = new QToolButton(bar);
    button->setText(QString::fromUtf8(text));
    button->setObjectName(QString::fromUtf8(text).remove(QLatin1Char('&')));
    if (hint) {
        button->setToolTip(QString::fromUtf8(hint));
        button->setStatusTip(QString::fromUtf8(hint));
    }
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addWidget(button);
    return button;
}

}  // namespace

TPreviewForm::TPreviewForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Preview"));

    toolBar_ = new QToolBar(this);
    skipBack_ = addButton(toolBar_, "<<", "Skip 5 pages backwards");
    back_ = addButton(toolBar_, "<", "Go to last page");
    forward_ = addButton(toolBar_, ">", "Go to next page");
    skipForward_ = addButton(toolBar_, ">>", "Skip 5 pages forwards");
    printPage_ = addButton(toolBar_, "Print &page", "Print only this page");
    printAll_ = addButton(toolBar_, "Print &all", "Print all pages");
    toolBar_->addSeparator();
    pageLabel_ = new QLabel(toolBar_);
    pageLabel_->setObjectName(QStringLiteral("pageLabel"));
    toolBar_->addWidget(pageLabel_);

    image_ = new QLabel;
    image_->setObjectName(QStringLiteral("pageImage"));
    scroll_ = new QScrollArea(this);
    scroll_->setWidget(image_);
    scroll_->setWidgetResizable(false);
    scroll_->setAlignment(Qt::AlignCenter);
    scroll_->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar_);
    layout->addWidget(scroll_, 1);

    connect(skipBack_, &QToolButton::clicked, this, [this] { goTo(&PreviewNavigation::skipBack); });
    connect(back_, &QToolButton::clicked, this, [this] { goTo(&PreviewNavigation::previous); });
    connect(forward_, &QToolButton::clicked, this, [this] { goTo(&PreviewNavigation::next); });
    connect(skipForward_, &QToolButton::clicked, this, [this] { goTo(&PreviewNavigation::skipForward); });
    connect(printPage_, &QToolButton::clicked, this, [this] { print(navigation_.current()); });
    connect(printAll_, &QToolButton::clicked, this, [this] { print(0); });
    updateControls();
}

double TPreviewForm::dotsPerInch() const
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchX() : kFallbackDotsPerInch;
}

QString TPreviewForm::pageLabel() const { return pageLabel_->text(); }

void TPreviewForm::showPreview(const TSettings& settings, TPrinterSetup& setup, const std::string& jobFile)
{
    settings_ = &settings;
    setup_ = &setup;
    jobFile_ = jobFile;
    navigation_.restart();
    drawPage();
    fitToPage();
    show();
    centreInWorkArea(*this);
    raise();
    activateWindow();
}

void TPreviewForm::redraw()
{
    if (settings_) drawPage();
}

void TPreviewForm::drawPage()
{
    try {
        const bool counting = !navigation_.totalKnown();
        PreviewPage drawn =
            drawPreviewPage(*settings_, *setup_, jobFile_, navigation_.current(), counting, dotsPerInch());
        page_ = std::move(drawn.image);
        image_->setPixmap(QPixmap::fromImage(page_));
        image_->resize(page_.size());
        if (counting) navigation_.setTotal(drawn.pages);
        updateControls();
        if (!drawn.error.empty()) showWindowError(drawn.error.c_str());
    } catch (const EZEMPrint& error) {
        updateControls();
        showWindowError(error.what());
    }
}

void TPreviewForm::goTo(void (PreviewNavigation::*step)())
{
    (navigation_.*step)();
    drawPage();
}

void TPreviewForm::print(int singlePage)
{
    if (!settings_) return;
    try {
        printJob(*settings_, *setup_, jobFile_, singlePage);
    } catch (const EZEMPrint& error) {
        showWindowError(error.what());
    }
}

void TPreviewForm::updateControls()
{
    skipBack_->setEnabled(navigation_.canGoBack());
    back_->setEnabled(navigation_.canGoBack());
    forward_->setEnabled(navigation_.canGoForward());
    skipForward_->setEnabled(navigation_.canGoForward());
    printPage_->setEnabled(navigation_.canPrint());
    printAll_->setEnabled(navigation_.canPrint());
    pageLabel_->setText(QString::fromStdString(navigation_.label()));
}

// The window holds the whole page, unless it would be taller than the work
// area: then it is as tall as the work area and wide enough for the scroll bar.
void TPreviewForm::fitToPage()
{
    // The margin holds the scroll box's border, unless the style draws a wider one.
    const int border = std::max(kPageMargin, 2 * scroll_->frameWidth());
    QSize client(page_.width() + border, toolBar_->sizeHint().height() + page_.height() + border);
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect work = screen->availableGeometry();
        const int frameExtra = frameGeometry().height() - height();
        if (client.height() + frameExtra > work.height()) {
            client.setHeight(work.height() - frameExtra);
            client.setWidth(client.width() + style()->pixelMetric(QStyle::PM_ScrollBarExtent));
        }
    }
    resize(client);
}

bool TPreviewForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == scroll_->viewport() && event->type() == QEvent::Wheel)
        return scrollByWheel(static_cast<QWheelEvent*>(event));
    return QWidget::eventFilter(watched, event);
}

// Each notch scrolls the system's number of wheel lines, down for a negative
// delta and up for a positive one; with Shift held, sideways.
bool TPreviewForm::scrollByWheel(QWheelEvent* wheel)
{
    const QPoint angle = wheel->angleDelta();
    const int notches = wheel_.add(angle.y() != 0 ? angle.y() : angle.x());
    const bool sideways = wheel->modifiers().testFlag(Qt::ShiftModifier);
    QScrollBar* bar = sideways ? scroll_->horizontalScrollBar() : scroll_->verticalScrollBar();
    const auto action = notches < 0 ? QAbstractSlider::SliderSingleStepAdd : QAbstractSlider::SliderSingleStepSub;
    const int lines = std::abs(notches) * QApplication::wheelScrollLines();
    for (int i = 0; i < lines; ++i) bar->triggerAction(action);
    wheel->accept();
    return true;
}

}  // namespace zemprint
