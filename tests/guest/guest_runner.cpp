#include "guest_runner.h"

#include "support/temp_dir.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string withoutCarriageReturns(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r') out += c;
    return out;
}

struct Pipe {
    int fd[2] = {-1, -1};
    bool open() { return pipe2(fd, O_CLOEXEC) == 0; }
    void closeBoth()
    {
        for (int& f : fd)
            if (f >= 0) {
                close(f);
                f = -1;
            }
    }
};

// The child's environment: ours with the requested variables set or replaced.
std::vector<std::string> childEnvironment(const GuestRunOptions& options)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        bool replaced = false;
        for (const auto& [name, value] : options.environment)
            if (entry.compare(0, name.size() + 1, name + "=") == 0) replaced = true;
        if (!replaced) env.push_back(entry);
    }
    for (const auto& [name, value] : options.environment) env.push_back(name + "=" + value);
    return env;
}

// A data folder of the run's own, so that the drive folders a first run makes never land
// in the user's home; removed when the run is over.
class TemporaryDataHome {
public:
    TemporaryDataHome()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zem_data_XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data())) path_ = name.data();
    }
    ~TemporaryDataHome()
    {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

std::string zemProgramPath() { return ZEM2_PROGRAM; }

GuestRun runGuest(const GuestRunOptions& options)
{
    GuestRun run;
    std::string program = options.program.empty() ? zemProgramPath() : options.program;

    // The test INI lives in a folder of its own, removed when the run is over.
    std::optional<zemtest::TempDir> iniDir;
    std::vector<std::string> argStore{program};
    if (options.iniContents) {
        iniDir.emplace("zem-run");
        argStore.push_back("-INI");
        argStore.push_back(iniDir->write("zem.ini", *options.iniContents));
    }
    argStore.insert(argStore.end(), options.args.begin(), options.args.end());
    std::vector<char*> argv;
    for (std::string& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::optional<TemporaryDataHome> dataHome;
    GuestRunOptions withData;
    const GuestRunOptions* chosen = &options;
    bool hasDataHome = std::any_of(options.environment.begin(), options.environment.end(),
                                   [](const auto& e) { return e.first == "XDG_DATA_HOME"; });
    if (!hasDataHome) {
        dataHome.emplace();
        withData = options;
        withData.environment.emplace_back("XDG_DATA_HOME", dataHome->path());
        chosen = &withData;
    }
    std::vector<std::string> envStore = childEnvironment(*chosen);
    std::vector<char*> envp;
    for (std::string& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);

    Pipe err, out;
    if (!err.open() || !out.open()) {
        err.closeBoth();
        out.closeBoth();
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, err.fd[1], STDERR_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out.fd[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (!options.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());
    pid_t pid = -1;
    int spawnError = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(err.fd[1]);
    err.fd[1] = -1;
    close(out.fd[1]);
    out.fd[1] = -1;
    if (spawnError != 0) {
        err.closeBoth();
        out.closeBoth();
        return run;
    }
    run.started = true;

    std::string rawErr, rawOut;
    Clock::time_point deadline = Clock::now() + options.timeLimit;
    bool errOpen = true, outOpen = true;
    while (errOpen || outOpen) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            run.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd fds[2] = {{errOpen ? err.fd[0] : -1, POLLIN, 0}, {outOpen ? out.fd[0] : -1, POLLIN, 0}};
        int ready = poll(fds, 2, int(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) break;
        char buffer[4096];
        if (errOpen && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            ssize_t n = read(err.fd[0], buffer, sizeof buffer);
            if (n > 0)
                rawErr.append(buffer, size_t(n));
            else
                errOpen = false;
        }
        if (outOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            ssize_t n = read(out.fd[0], buffer, sizeof buffer);
            if (n > 0)
                rawOut.append(buffer, size_t(n));
            else
                outOpen = false;
        }
        if (!run.signalSent && options.signalToSend != 0 && !options.signalWhen.empty() &&
            rawErr.find(options.signalWhen) != std::string::npos) {
            kill(pid, options.signalToSend);
            run.signalSent = true;
        }
    }
    err.closeBoth();
    out.closeBoth();

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    if (WIFEXITED(status)) {
        run.exited = true;
        run.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        run.termSignal = WTERMSIG(status);
    }
    run.standardError = withoutCarriageReturns(rawErr);
    run.standardOutput = withoutCarriageReturns(rawOut);
    return run;
}

GuestRun runGuestProgram(const std::string& image, std::vector<std::string> extraArgs, const std::string& ini,
                         std::chrono::milliseconds timeLimit)
{
    GuestRunOptions options;
    options.args = {"-OS", image, "-DBG", "0"};
    options.args.insert(options.args.end(), extraArgs.begin(), extraArgs.end());
    options.iniContents = ini;
    options.timeLimit = timeLimit;
    return runGuest(options);
}

GuestRun runImage(const std::string& image, std::vector<std::string> extraArgs, std::chrono::milliseconds timeLimit)
{
    GuestRunOptions options;
    options.args = {"-OS", image, "-DBG", "1"};
    options.args.insert(options.args.end(), extraArgs.begin(), extraArgs.end());
    options.timeLimit = timeLimit;
    return runGuest(options);
}

std::vector<std::string> GuestRun::lines() const
{
    std::vector<std::string> out;
    std::istringstream in(standardError);
    std::string line;
    while (std::getline(in, line)) out.push_back(line);
    return out;
}

int GuestRun::findLine(const std::string& line, int from) const
{
    std::vector<std::string> all = lines();
    for (size_t i = size_t(std::max(from, 0)); i < all.size(); ++i)
        if (all[i] == line) return int(i);
    return -1;
}

bool GuestRun::linesInOrder(const std::vector<std::string>& expected) const
{
    int at = 0;
    for (const std::string& line : expected) {
        int found = findLine(line, at);
        if (found < 0) return false;
        at = found + 1;
    }
    return true;
}

std::string GuestRun::describe() const
{
    std::ostringstream text;
    text << "started=" << started << " timedOut=" << timedOut << " exited=" << exited << " exitCode=" << exitCode
         << " signal=" << termSignal << "\n--- standard error ---\n"
         << standardError << "--- standard output ---\n"
         << standardOutput;
    return text.str();
}
