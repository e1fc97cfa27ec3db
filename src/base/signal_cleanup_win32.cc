// The Windows side of signal_cleanup.h. The console's events reach the
// process on a thread the system starts for them, so holding them back is
// a lock that the handler takes too: a held step finishes before any file
// is removed, and once the handler has the lock nothing more is renamed.

#include "base/signal_cleanup.h"

#include <windows.h>

namespace vxlforge {

namespace {

// Fixed storage, so that recording a name never allocates; a path on
// Windows has at most 32767 wide characters.
constexpr int kPlaces = 4;
constexpr int kMaxPath = 32768;
wchar_t names[kPlaces][kMaxPath];
bool in_use[kPlaces];
bool handler_installed = false;

// Recursive, so that a step held inside another (a discard during a
// rename, say) does not wait for itself. Set up before main runs.
struct Lock {
  Lock() { InitializeCriticalSection(&section); }
  CRITICAL_SECTION section;
};
Lock held_lock;

BOOL WINAPI remove_and_exit(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;  // not ours: the next handler decides
  }
  // Taken and never given back: the process ends with it held.
  EnterCriticalSection(&held_lock.section);
  for (int i = 0; i < kPlaces; ++i) {
    if (in_use[i]) DeleteFileW(names[i]);
  }
  // Said here rather than left to the system's handler, so that the status
  // is the same however the program is run (also under emulation).
  ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
  return TRUE;
}

}  // namespace

HeldSignals::HeldSignals() { EnterCriticalSection(&held_lock.section); }

HeldSignals::~HeldSignals() { LeaveCriticalSection(&held_lock.section); }

int remove_on_signal(const char* path) {
  EnterCriticalSection(&held_lock.section);
  int handle = -1;
  for (int i = 0; i < kPlaces && handle < 0; ++i) {
    if (in_use[i]) continue;
    // A path that is not UTF-8 or does not fit gets no place.
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, names[i], kMaxPath) <= 0) {
      break;
    }
    if (!handler_installed) handler_installed = SetConsoleCtrlHandler(remove_and_exit, TRUE) != 0;
    in_use[i] = true;
    handle = i;
  }
  LeaveCriticalSection(&held_lock.section);
  return handle;
}

void forget_on_signal(int handle) {
  if (handle < 0 || handle >= kPlaces) return;
  EnterCriticalSection(&held_lock.section);
  in_use[handle] = false;
  LeaveCriticalSection(&held_lock.section);
}

}  // namespace vxlforge
