#include "printer/host_fonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLocale>
#include <QStandardPaths>
#include <cstdlib>
#include <unistd.h>

namespace zemprint {

namespace {
constexpr const char* kIniName = "ZEMPrint.ini";
}

std::vector<std::string> installedFontFamilies()
{
    std::vector<std::string> families;
    for (const QString& family : QFontDatabase::families()) families.push_back(family.toStdString());
    return families;
}

std::string settingsFilePath()
{
    if (const char* path = std::getenv("ZEMPRINT_INI"); path && *path) return path;
    const QString programDir = QCoreApplication::applicationDirPath();
    if (!programDir.isEmpty() && ::access(QFile::encodeName(programDir).constData(), W_OK) == 0)
        return QDir(programDir).filePath(kIniName).toStdString();
    const QString configDir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QDir().mkpath(configDir);
    return QDir(configDir).filePath(kIniName).toStdString();
}

char localeDecimalSeparator()
{
    const QString point = QLocale::system().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 0x80 ? static_cast<char>(point[0].unicode()) : '.';
}

}  // namespace zemprint
