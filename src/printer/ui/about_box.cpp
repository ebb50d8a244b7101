#include "printer/ui/about_box.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "printer/ui/program_version.h"
#include "printer/ui/window_placement.h"

namespace zemprint {

namespace {
constexpr int kIconSize = 48;
constexpr double kNameScale = 2.0;
}  // namespace

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About"));
    setModal(true);

    auto* icon = new QLabel(this);
    QIcon programIcon = QApplication::windowIcon();
    if (programIcon.isNull()) programIcon = style()->standardIcon(QStyle::SP_DesktopIcon);
    icon->setPixmap(programIcon.pixmap(kIconSize, kIconSize));

    auto* name = new QLabel(QStringLiteral("ZEMPrint"), this);
    name->setObjectName(QStringLiteral("programName"));
    QFont large = name->font();
    large.setPointSizeF(large.pointSizeF() * kNameScale);
    large.setBold(true);
    name->setFont(large);

    // The version is read once: it cannot change while the program runs.
    version_ = new QLabel(QString::fromStdString(versionLine(programVersion())), this);
    version_->setObjectName(QStringLiteral("versionLine"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(name);
    text->addWidget(version_);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(text);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString TAboutForm::versionText() const { return version_->text(); }

void TAboutForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    centreInWorkArea(*this);
}

}  // namespace zemprint
