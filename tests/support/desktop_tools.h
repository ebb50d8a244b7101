// Desktop tools (xdotool, setxkbmap) that window tests run on their X display.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <string>

namespace zemtest {

// Runs `program` and returns its standard output; empty when it does not finish within
// `ms` (it is killed then, so a hung tool cannot outlive the test).
inline std::string runDesktopTool(const QString& program, const QStringList& args, int ms = 15000)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(ms)) {
        p.kill();
        p.waitForFinished(2000);
        return {};
    }
    return p.readAllStandardOutput().toStdString();
}

inline std::string xdotool(const QStringList& args) { return runDesktopTool(QStringLiteral("xdotool"), args); }

// As xdotool(), for commands whose answer is only whether they worked (exit code 0).
inline bool xdotoolDid(const QStringList& args, int ms = 15000)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(ms)) {
        p.kill();
        p.waitForFinished(2000);
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

}  // namespace zemtest
