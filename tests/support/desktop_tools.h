// Desktop tools (xdotool, setxkbmap) that window tests run on their X display.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <string>

namespace zemtest {

struct DesktopToolRun {
    bool worked = false;  // finished in time with exit code 0
    std::string output;   // standard output; empty when it did not finish
};

// Runs `program`; one that does not finish within `ms` is killed, so a hung tool cannot
// outlive the test.
inline DesktopToolRun runDesktopToolFully(const QString& program, const QStringList& args, int ms = 15000)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(ms)) {
        p.kill();
        p.waitForFinished(2000);
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, p.readAllStandardOutput().toStdString()};
}

// The tool's standard output, empty when it does not finish in time.
inline std::string runDesktopTool(const QString& program, const QStringList& args, int ms = 15000)
{
    return runDesktopToolFully(program, args, ms).output;
}

inline std::string xdotool(const QStringList& args) { return runDesktopTool(QStringLiteral("xdotool"), args); }

// For xdotool commands whose answer is only whether they worked.
inline bool xdotoolDid(const QStringList& args, int ms = 15000)
{
    return runDesktopToolFully(QStringLiteral("xdotool"), args, ms).worked;
}

}  // namespace zemtest
