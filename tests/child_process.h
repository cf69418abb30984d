#pragma once

#include <sys/types.h>
#include <termios.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Runs the built tool in a scratch folder as a user would, but with the terminal,
// limits and environment that a test chooses.

struct ChildSetup {
    std::filesystem::path folder;
    // Program and arguments; when empty, the native tool with one argument it ignores.
    std::vector<std::string> command;
    std::vector<std::pair<std::string, std::string>> environment;
    std::filesystem::path stderrFile;  // for a detached run
    std::vector<int> ignoredSignals;   // as nohup leaves SIGHUP
    // In a pseudo-terminal: standard input and output elsewhere, and whether the tool
    // leads the terminal's session or runs as a job of a stand-in shell that does.
    bool stdinFromNull = false;
    tcflag_t inputFlags = 0;  // set on the terminal, besides its defaults, before the start
    std::filesystem::path stdoutFile;
    enum class Job { None, Foreground, Background } job = Job::None;
};

struct ChildEnd {
    bool timedOut = false;
    int exitCode = -1;  // when it exited
    int signal = 0;     // when a signal ended it
};

struct DetachedRun {
    ChildEnd end;
    std::string output;
};

// In a new session with no controlling terminal, standard output into a pipe.
DetachedRun runDetached(const ChildSetup& setup);

struct PtyChild {
    pid_t pid = -1;   // the tool, or the stand-in shell, which ends as its job ends
    pid_t tool = -1;  // the tool itself
    int master = -1;
    int slave = -1;     // the test's own descriptor for the child's terminal
    int stops = -1;     // where the stand-in shell reports each stop of its job
    termios initial{};  // the terminal's settings before the child started
};

// With a new pseudo-terminal, in its default settings, as its controlling terminal and
// standard streams. The stand-in shell of a job gives it the terminal, as fg does, on
// SIGUSR1, and takes it back whenever the job stops.
PtyChild startInPty(const ChildSetup& setup);

// Reads until the text has been seen, the end, or the time is up; returns all read.
// An empty text reads to the end.
std::string readUntil(int master, const std::string& text, int timeoutMs);

// Reads whatever arrives until the end or the time is up.
std::string readFor(int master, int timeoutMs);

// Whether the condition holds within the time, looking every millisecond.
bool eventually(const std::function<bool()>& condition, int timeoutMs);

ChildEnd waitForEnd(pid_t pid, int timeoutMs);

// Whether the child is still running after the time.
bool stillRunningAfter(pid_t pid, int timeoutMs);

// What fg does for a stopped job: gives it the terminal, then continues it.
void bringToForeground(const PtyChild& child);

// Gives the terminal to the job, or takes it back for the shell without stopping the job.
void giveTerminal(const PtyChild& child, bool toTheJob);

// The signal that stopped the job next, as its stand-in shell saw it; 0 when it did not
// stop within the time.
int nextStop(const PtyChild& child, int timeoutMs);

void closePty(PtyChild& child);

// Kills the child if it still runs, reaps it and closes its terminal: a test's clean-up.
void endPtyChild(PtyChild& child);

bool sameSettings(const termios& a, const termios& b);
