#include "printer/host_fonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLocale>
#include <QStandardPaths>
#include <cstdlib>

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

std::string chooseSettingsFile(const std::string& named, const std::string& programDir, const std::string& configDir)
{
    if (!named.empty()) return named;
    const QString beside = QDir(QString::fromStdString(programDir)).filePath(kIniName);
    if (!programDir.empty() && QFileInfo(beside).isFile()) return beside.toStdString();
    if (configDir.empty()) return beside.toStdString();
    return QDir(QString::fromStdString(configDir)).filePath(QStringLiteral("zemprint/") + kIniName).toStdString();
}

std::string settingsFilePath()
{
    const char* named = std::getenv("ZEMPRINT_INI");
    const QString configDir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const std::string path = chooseSettingsFile(
        named ? named : "", QCoreApplication::applicationDirPath().toStdString(), configDir.toStdString());
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
    return path;
}

char localeDecimalSeparator()
{
    const QString point = QLocale::system().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 0x80 ? static_cast<char>(point[0].unicode()) : '.';
}

}  // namespace zemprint
