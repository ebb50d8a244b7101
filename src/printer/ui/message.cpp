#include "printer/ui/message.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace zemprint {

bool displayAvailable()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void showError(const std::string& text)
{
    if (!displayAvailable()) {
        std::fprintf(stderr, "ZEMPrint: %s\n", text.c_str());
        return;
    }
    makeErrorBox(text)->exec();
}

std::unique_ptr<QMessageBox> makeErrorBox(const std::string& text)
{
    return std::make_unique<QMessageBox>(QMessageBox::Critical, QStringLiteral("ZEMPrint"),
                                         QString::fromStdString(text), QMessageBox::Ok);
}

}  // namespace zemprint
