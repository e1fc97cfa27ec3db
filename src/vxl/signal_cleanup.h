#ifndef VXLFORGE_VXL_SIGNAL_CLEANUP_H_
#define VXLFORGE_VXL_SIGNAL_CLEANUP_H_

#include <signal.h>

namespace vxlforge {

// What the programs do when SIGINT, SIGTERM, SIGHUP or SIGPIPE would end
// them while a named temporary file exists: remove it, then end by the
// same signal with its default action, so that whoever started the program
// sees it killed by that signal. Signals the process was started with
// ignored (nohup's SIGHUP, say) stay ignored.

// Holds those four signals back on the calling thread while it lives; one
// that arrives meanwhile is delivered when the object goes. Steps that must
// not be cut apart by a clean-up (creating a temporary file and recording
// its name; naming a finished file and renaming it into place) run inside
// one. Threads started while one lives inherit the held signals for good,
// so that the signals always reach the thread that holds them back.
class HeldSignals {
 public:
  HeldSignals();
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;
  ~HeldSignals();

 private:
  sigset_t previous_;
};

// Records `path` as a file to remove should one of the signals end the
// program, installing the handlers on first use. Call it while the signals
// are held. Returns a handle for forget_on_signal, or -1 when the path does
// not fit or every place is taken (a few files at once are provided for).
int remove_on_signal(const char* path);

// Stops removing the file recorded under `handle` (-1 does nothing). Call
// it while the signals are held, so that the file's removal or renaming
// and the forgetting happen together.
void forget_on_signal(int handle);

}  // namespace vxlforge

#endif  // VXLFORGE_VXL_SIGNAL_CLEANUP_H_
