// TAboutForm: the about box with the program's name and version line.
#pragma once

#include <QDialog>

class QLabel;

namespace zemprint {

class TAboutForm : public QDialog {
public:
    explicit TAboutForm(QWidget* parent = nullptr);

    QString versionText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* version_ = nullptr;
};

}  // namespace zemprint
