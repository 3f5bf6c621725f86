// Removes one file when the process is stopped by SIGINT, SIGTERM, SIGHUP or
// SIGPIPE, then lets the process die of that signal as it would have, so that
// shells and cron see the usual status. Signals ignored at start stay ignored.
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
