// A developer tool for the README's screenshots (scripts/screenshots), not a
// test: it captures a window of the X display as the server shows it, and
// writes the built-in sample page as a job file to show it with.
//
//   zem_window_capture capture WINDOW-ID OUT.png
//   zem_window_capture sample-page OUT.prn
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <fstream>
#include <string>

#include "printer/job/sample_page.h"

namespace {

int capture(const std::string& windowId, const char* out)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return 1;
    const QPixmap shot = screen->grabWindow(static_cast<WId>(std::stoull(windowId, nullptr, 0)));
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(out), "PNG")) {
        std::fprintf(stderr, "cannot capture window %s into %s\n", windowId.c_str(), out);
        return 1;
    }
    return 0;
}

int writeSamplePage(const char* out)
{
    const auto& page = zemprint::samplePage();
    std::ofstream file(out, std::ios::binary);
    file.write(reinterpret_cast<const char*>(page.data()), static_cast<std::streamsize>(page.size()));
    return file ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "sample-page" && argc == 3) return writeSamplePage(argv[2]);
    if (mode == "capture" && argc == 4) {
        QGuiApplication app(argc, argv);
        return capture(argv[2], argv[3]);
    }
    std::fprintf(stderr, "usage: %s capture WINDOW-ID OUT.png | sample-page OUT.prn\n", argv[0]);
    return 2;
}
