#include "replace/signal_cleanup.hpp"

#include <climits>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace {

constexpr int cleaned_signals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGPIPE,   SIGQUIT, SIGALRM, SIGXCPU,
                                   SIGXFSZ, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGABRT};
constexpr std::size_t signal_count = std::size(cleaned_signals);

// A signal handler can reach nothing else: the one path to remove, kept in
// static storage, and whether it is still to be removed.
char path_to_remove[PATH_MAX];
volatile std::sig_atomic_t armed = 0;
struct sigaction previous[signal_count];

extern "C" void remove_and_die(int signal) {
    if (armed) ::unlink(path_to_remove);
    armed = 0;
    // Die of the same signal: back to the default action, then again.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    ::raise(signal);
}

} // namespace

remove_on_signal::remove_on_signal(const std::string& path) {
    if (path.size() >= sizeof path_to_remove) return;
    std::memcpy(path_to_remove, path.c_str(), path.size() + 1);
    struct sigaction handler {};
    handler.sa_handler = remove_and_die;
    sigemptyset(&handler.sa_mask);
    for (const int signal : cleaned_signals) sigaddset(&handler.sa_mask, signal);
    armed = 1;
    installed_ = true;
    for (std::size_t i = 0; i < signal_count; ++i) {
        ::sigaction(cleaned_signals[i], nullptr, &previous[i]);
        if (previous[i].sa_handler == SIG_IGN) continue;
        ::sigaction(cleaned_signals[i], &handler, nullptr);
    }
}

remove_on_signal::~remove_on_signal() {
    armed = 0;
    if (!installed_) return;
    for (std::size_t i = 0; i < signal_count; ++i)
        if (previous[i].sa_handler != SIG_IGN) ::sigaction(cleaned_signals[i], &previous[i], nullptr);
}

cleanup_signals_blocked::cleanup_signals_blocked() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (const int signal : cleaned_signals) sigaddset(&blocked, signal);
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previous_);
}

cleanup_signals_blocked::~cleanup_signals_blocked() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

void fail_writes_past_size_limit() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}
