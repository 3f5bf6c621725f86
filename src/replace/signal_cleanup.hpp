// Removes one file when the process is stopped by a signal whose default is
// to end it (SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT, SIGALRM, SIGXCPU,
// SIGXFSZ, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, and SIGABRT), then lets the
// process die of that signal as it would have, so that shells and cron see
// the usual status. Signals ignored at start stay ignored.
#pragma once

#include <csignal>
#include <string>

class remove_on_signal {
public:
    explicit remove_on_signal(const std::string& path);
    // Puts back the dispositions found at start.
    ~remove_on_signal();
    remove_on_signal(const remove_on_signal&) = delete;
    remove_on_signal& operator=(const remove_on_signal&) = delete;

private:
    bool installed_ = false;
};

// Holds those signals back for its lifetime: they are delivered when it ends.
class cleanup_signals_blocked {
public:
    cleanup_signals_blocked();
    ~cleanup_signals_blocked();
    cleanup_signals_blocked(const cleanup_signals_blocked&) = delete;
    cleanup_signals_blocked& operator=(const cleanup_signals_blocked&) = delete;

private:
    sigset_t previous_;
};

// From now on SIGXFSZ is ignored: a file grown past the size limit (ulimit
// -f), the guide, the spill or the trace, fails its write with EFBIG, a
// failure that is reported and cleaned up like any other, rather than ending
// the process.
void fail_writes_past_size_limit();
