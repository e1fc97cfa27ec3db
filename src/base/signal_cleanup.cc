#include "base/signal_cleanup.h"

#include <limits.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vxlforge {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// The handler may run at any moment, so the names live in fixed storage
// and each place is marked in use only once its name is complete.
constexpr int kPlaces = 4;
char names[kPlaces][PATH_MAX];
volatile sig_atomic_t in_use[kPlaces];
bool handlers_installed = false;

sigset_t cleanup_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kSignals) sigaddset(&set, sig);
  return set;
}

// Only async-signal-safe calls. SA_RESETHAND has already put back the
// default action, and the signal is blocked while this runs: raising it
// again leaves it pending, and it ends the process as soon as this returns.
void remove_and_reraise(int sig) {
  const int saved_errno = errno;
  for (int i = 0; i < kPlaces; ++i) {
    if (in_use[i]) unlink(names[i]);
  }
  raise(sig);
  errno = saved_errno;
}

void install_handlers() {
  if (handlers_installed) return;
  handlers_installed = true;
  for (int sig : kSignals) {
    struct sigaction previous;
    if (sigaction(sig, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = remove_and_reraise;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, nullptr);
  }
}

}  // namespace

HeldSignals::HeldSignals() {
  const sigset_t held = cleanup_signals();
  pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

HeldSignals::~HeldSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

int remove_on_signal(const char* path) {
  const std::size_t length = std::strlen(path);
  if (length >= PATH_MAX) return -1;
  install_handlers();
  for (int i = 0; i < kPlaces; ++i) {
    if (in_use[i]) continue;
    std::memcpy(names[i], path, length + 1);
    in_use[i] = 1;
    return i;
  }
  return -1;
}

void forget_on_signal(int handle) {
  if (handle >= 0 && handle < kPlaces) in_use[handle] = 0;
}

}  // namespace vxlforge
