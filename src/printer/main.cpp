// zemprint: prints one ESC/P or ESC/P2 job on a CUPS printer or into files.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <string>
#include <vector>

#include "printer/app.h"
#include "printer/job/command_line.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    switch (zemprint::infoRequest(args)) {
    case zemprint::InfoRequest::Help:
        std::fputs(zemprint::helpText("zemprint").c_str(), stdout);
        return 0;
    case zemprint::InfoRequest::Version:
        std::printf("ZEMPrint %s\n", ZEM_VERSION);
        return 0;
    case zemprint::InfoRequest::None:
        break;
    }
    // Without standard input its descriptor number would go to the next file
    // opened and be read as the job; keep it taken, and remember it was absent.
    int standardInput = STDIN_FILENO;
    if (::fcntl(STDIN_FILENO, F_GETFD) < 0) {
        standardInput = -1;
        ::open("/dev/null", O_RDONLY);
    }
    zemprint::chooseHeadlessPlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZEMPrint"));
    QApplication::setApplicationDisplayName(QStringLiteral("ZEMPrint"));
    QApplication::setApplicationVersion(QStringLiteral(ZEM_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zem2.ZEMPrint"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("zemprint")));
    return zemprint::runProgram(app, standardInput);
}
