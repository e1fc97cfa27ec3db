#ifndef VXLFORGE_BASE_SIGNAL_CLEANUP_H_
#define VXLFORGE_BASE_SIGNAL_CLEANUP_H_

#if !defined(_WIN32)
#include <signal.h>
#endif

namespace vxlforge {

// What the programs do when SIGINT, SIGTERM, SIGHUP or SIGPIPE would end
// them while a named temporary file exists: remove it, then end by the
// same signal with its default action, so that whoever started the program
// sees it killed by that signal. Signals the process was started with
// ignored (nohup's SIGHUP, say) stay ignored.
//
// On Windows the same promise covers Ctrl-C, Ctrl-Break and closing the
// console (and logging off or shutting down): the system runs the handler
// on a thread of its own, which removes the files and ends the process
// with STATUS_CONTROL_C_EXIT, as the system's own handler would. There
// "holding" means that the handler waits until no thread holds.

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
#if !defined(_WIN32)
  sigset_t previous_;
#endif
};

// Records `path` (UTF-8 on Windows) as a file to remove should one of the
// signals end the program, installing the handlers on first use. On
// Windows a file that is still open is removed only if it was opened with
// FILE_SHARE_DELETE; the system deletes it once the process has ended. Call it while the signals
// are held. Returns a handle for forget_on_signal, or -1 when the path does
// not fit or every place is taken (a few files at once are provided for).
int remove_on_signal(const char* path);

// Stops removing the file recorded under `handle` (-1 does nothing). Call
// it while the signals are held, so that the file's removal or renaming
// and the forgetting happen together.
void forget_on_signal(int handle);

}  // namespace vxlforge

#endif  // VXLFORGE_BASE_SIGNAL_CLEANUP_H_
