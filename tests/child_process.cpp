#include "child_process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Only async-signal-safe calls between fork and exec, apart from setenv and the
// argument list's allocation, which are safe here because the test process has a
// single thread.
[[noreturn]] void becomeTool(const ChildSetup& setup) {
    if (chdir(setup.folder.c_str()) != 0) {
        _exit(120);
    }
    // Only the locale a test names, whatever the test runner's own is.
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        unsetenv(variable);
    }
    for (const auto& [name, value] : setup.environment) {
        setenv(name.c_str(), value.c_str(), 1);
    }
    for (const int ignored : setup.ignoredSignals) {
        signal(ignored, SIG_IGN);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    signal(SIGPIPE, SIG_DFL);
    std::vector<char*> arguments;
    for (const std::string& argument : setup.command) {
        arguments.push_back(const_cast<char*>(argument.c_str()));
    }
    arguments.push_back(nullptr);
    execv(arguments[0], arguments.data());
    _exit(121);
}

ChildEnd endFromStatus(int status) {
    ChildEnd end;
    if (WIFEXITED(status)) {
        end.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        end.signal = WTERMSIG(status);
    }
    return end;
}

int millisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// A job-control shell in miniature, leading the session: starts the tool in a process
// group of its own, in the foreground or the background, hands it the terminal on
// SIGUSR1, as fg does, takes it back on SIGUSR2 and whenever the job stops, reports the
// stop signal through the pipe, and ends as the tool ends.
[[noreturn]] void runAsShell(const ChildSetup& setup, int terminal, int toolPipe) {
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, SIGUSR1);
    sigaddset(&wake, SIGUSR2);
    sigaddset(&wake, SIGCHLD);
    sigset_t blocked = wake;
    sigaddset(&blocked, SIGTTOU);  // it takes the terminal back from the background
    sigprocmask(SIG_BLOCK, &blocked, nullptr);
    const bool foreground = setup.job == ChildSetup::Job::Foreground;
    const pid_t tool = fork();
    if (tool == 0) {
        setpgid(0, 0);
        if (foreground && !eventually([&] { return tcgetpgrp(terminal) == getpid(); }, 5000)) {
            _exit(126);
        }
        close(terminal);
        becomeTool(setup);
    }
    setpgid(tool, tool);
    if (foreground) {
        tcsetpgrp(terminal, tool);
    }
    if (write(toolPipe, &tool, sizeof tool) != sizeof tool) {
        _exit(123);
    }
    for (int got = 0; sigwait(&wake, &got) == 0;) {
        if (got == SIGUSR1 || got == SIGUSR2) {
            tcsetpgrp(terminal, got == SIGUSR1 ? tool : getpgrp());
        }
        for (int status = 0; waitpid(tool, &status, WNOHANG | WUNTRACED) == tool;) {
            if (WIFSTOPPED(status)) {
                tcsetpgrp(terminal, getpgrp());
                const int stop = WSTOPSIG(status);
                if (write(toolPipe, &stop, sizeof stop) != sizeof stop) {
                    _exit(123);
                }
                continue;
            }
            if (WIFSIGNALED(status)) {
                signal(WTERMSIG(status), SIG_DFL);
                sigprocmask(SIG_UNBLOCK, &wake, nullptr);
                kill(getpid(), WTERMSIG(status));
            }
            _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 124);
        }
    }
    _exit(125);
}

ChildSetup withCommand(ChildSetup setup) {
    if (setup.command.empty()) {
        setup.command = {KOVALT_PATH, "ignored-argument"};
    }
    return setup;
}

}  // namespace

DetachedRun runDetached(const ChildSetup& given) {
    const ChildSetup setup = withCommand(given);
    int out[2];
    if (pipe(out) != 0) {
        throw std::runtime_error("pipe");
    }
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        const int nothing = open("/dev/null", O_RDONLY);
        dup2(nothing, STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        if (!setup.stderrFile.empty()) {
            dup2(open(setup.stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
        }
        close(out[0]);
        close(out[1]);
        becomeTool(setup);
    }
    close(out[1]);
    DetachedRun run;
    run.output = readFor(out[0], 10000);
    close(out[0]);
    run.end = waitForEnd(pid, 10000);
    return run;
}

PtyChild startInPty(const ChildSetup& given) {
    const ChildSetup setup = withCommand(given);
    PtyChild child;
    child.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (child.master < 0 || grantpt(child.master) != 0 || unlockpt(child.master) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    const std::string slaveName = ptsname(child.master);
    child.slave = open(slaveName.c_str(), O_RDWR | O_NOCTTY);
    if (child.slave < 0) {
        throw std::runtime_error("cannot open " + slaveName);
    }
    tcgetattr(child.slave, &child.initial);
    child.initial.c_iflag |= setup.inputFlags;
    tcsetattr(child.slave, TCSANOW, &child.initial);
    int toolPipe[2];
    if (pipe(toolPipe) != 0) {
        throw std::runtime_error("pipe");
    }
    child.pid = fork();
    if (child.pid == 0) {
        setsid();
        ioctl(child.slave, TIOCSCTTY, 0);
        for (int fd = 0; fd <= 2; ++fd) {
            dup2(child.slave, fd);
        }
        if (setup.stdinFromNull) {
            dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
        }
        if (!setup.stdoutFile.empty()) {
            dup2(open(setup.stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
        }
        close(child.master);
        close(toolPipe[0]);
        if (setup.job != ChildSetup::Job::None) {
            runAsShell(setup, child.slave, toolPipe[1]);
        }
        close(child.slave);
        close(toolPipe[1]);
        becomeTool(setup);
    }
    close(toolPipe[1]);
    child.tool = child.pid;
    child.stops = toolPipe[0];
    if (setup.job != ChildSetup::Job::None &&
        read(child.stops, &child.tool, sizeof child.tool) != sizeof child.tool) {
        throw std::runtime_error("the stand-in shell did not start the tool");
    }
    return child;
}

std::string readUntil(int master, const std::string& text, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string seen;
    while (text.empty() || seen.find(text) == std::string::npos) {
        pollfd ready{master, POLLIN, 0};
        if (poll(&ready, 1, millisecondsLeft(deadline)) != 1) {
            break;
        }
        char buffer[4096];
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        seen.append(buffer, static_cast<std::size_t>(got));
    }
    return seen;
}

std::string readFor(int master, int timeoutMs) { return readUntil(master, "", timeoutMs); }

bool eventually(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

ChildEnd waitForEnd(pid_t pid, int timeoutMs) {
    int status = 0;
    if (eventually([&] { return waitpid(pid, &status, WNOHANG) == pid; }, timeoutMs)) {
        return endFromStatus(status);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    ChildEnd end;
    end.timedOut = true;
    return end;
}

bool stillRunningAfter(pid_t pid, int timeoutMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
    // WNOWAIT leaves an ended child to waitForEnd, which reports how it ended.
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

void bringToForeground(const PtyChild& child) {
    giveTerminal(child, true);
    kill(child.tool, SIGCONT);
}

void giveTerminal(const PtyChild& child, bool toTheJob) {
    kill(child.pid, toTheJob ? SIGUSR1 : SIGUSR2);
    pid_t foreground = 0;
    EXPECT_TRUE(eventually(
        [&] {
            return ioctl(child.master, TIOCGPGRP, &foreground) == 0 &&
                   (foreground == child.tool) == toTheJob;
        },
        5000))
        << "the stand-in shell did not move the terminal";
}

int nextStop(const PtyChild& child, int timeoutMs) {
    pollfd ready{child.stops, POLLIN, 0};
    int stop = 0;
    if (poll(&ready, 1, timeoutMs) != 1 || read(child.stops, &stop, sizeof stop) != sizeof stop) {
        return 0;
    }
    return stop;
}

void closePty(PtyChild& child) {
    for (const int fd : {child.master, child.slave, child.stops}) {
        if (fd >= 0) {
            close(fd);
        }
    }
    child.master = child.slave = child.stops = -1;
}

void endPtyChild(PtyChild& child) {
    if (child.tool > 0 && child.tool != child.pid) {
        kill(child.tool, SIGKILL);
    }
    child.tool = -1;
    if (child.pid > 0) {
        waitForEnd(child.pid, 0);
        child.pid = -1;
    }
    closePty(child);
}

bool sameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}
