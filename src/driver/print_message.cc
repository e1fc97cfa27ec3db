#include "driver/print_message.h"

#include <pthread.h>
#include <signal.h>

#include <cstdarg>
#include <ctime>

namespace vxlforge {

// SIGPIPE is held back on this thread meanwhile, so that the write merely
// fails, and the signal it raised is taken away before it is let through.
void print_message(std::FILE* stream, const char* format, ...) {
  if (stream == nullptr) return;
  sigset_t pipe_signal;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &pipe_signal, &previous);
  std::va_list args;
  va_start(args, format);
  std::vfprintf(stream, format, args);
  va_end(args);
  std::fflush(stream);
  if (std::ferror(stream)) {
    const timespec no_wait = {0, 0};
    sigtimedwait(&pipe_signal, nullptr, &no_wait);
    std::clearerr(stream);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace vxlforge
