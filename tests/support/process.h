#ifndef VXLFORGE_TESTS_SUPPORT_PROCESS_H_
#define VXLFORGE_TESTS_SUPPORT_PROCESS_H_

#include <sys/resource.h>
#include <sys/types.h>

#include <string>
#include <thread>
#include <vector>

namespace vxlforge::testing {

// How to start a program. Whatever is not set is left as for any command
// run from a shell, except that the signals tests use (SIGINT, SIGTERM,
// SIGHUP, SIGPIPE) always start with their default action and unblocked.
struct ProcessOptions {
  std::string working_directory;  // "": the test's own
  std::string argv0;              // "": the program's path
  // Standard input: `stdin_data` through a pipe when `feed_stdin`, else the
  // file at `stdin_path` ("": /dev/null).
  bool feed_stdin = false;
  std::string stdin_data;
  std::string stdin_path;
  // Standard output: captured through a pipe unless `stdout_path` names a
  // file to write (created or truncated, as a shell's > does). With
  // `stdout_reader_gone` it is a pipe whose reading end is already closed.
  std::string stdout_path;
  bool stdout_reader_gone = false;
  // Limits, 0 for none: RLIMIT_AS, RLIMIT_STACK, and RLIMIT_FSIZE (with
  // SIGXFSZ ignored, so that writes past it fail with EFBIG instead).
  rlim_t address_space_limit = 0;
  rlim_t stack_limit = 0;
  rlim_t file_size_limit = 0;
  // When the test runs as root, run the program as the unprivileged user
  // kUnprivilegedId instead, so that permissions apply to it.
  bool unprivileged = false;
  // Make open() refuse unnamed files (O_TMPFILE) with EOPNOTSUPP, as file
  // systems without them do; through a seccomp filter.
  bool refuse_unnamed_files = false;
  std::vector<int> ignored_signals;  // started with these ignored, as nohup does
  // Trace the program so that its first fsync() stops it (see
  // Process::wait_for_fsync); through a seccomp filter and ptrace.
  bool pause_at_fsync = false;
};

// The conventional unprivileged user and group ("nobody", "nogroup").
constexpr uid_t kUnprivilegedId = 65534;

// Exit statuses of the started process that mean the harness could not set
// it up as asked; the reason is then on its standard error.
constexpr int kCannotDropPrivileges = 126;
constexpr int kCannotStart = 127;
constexpr int kCannotRefuseUnnamedFiles = 125;  // or cannot trace fsync()

struct ProcessResult {
  int status = -1;  // exit status, or -1 when a signal ended it
  int signal = 0;   // the signal that ended it, or 0
  std::string out;  // captured standard output ("" when written to a file)
  std::string err;  // captured standard error
};

// A started program. Its output pipes are drained while it runs, so that a
// program writing a lot cannot block on them.
class Process {
 public:
  Process(const std::string& program, const std::vector<std::string>& args,
          const ProcessOptions& options = {});
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();  // kills and reaps a process that was not waited for

  pid_t pid() const { return pid_; }

  // Sends `sig` to the process.
  void send(int sig) const;
  // Stops it with SIGSTOP and returns once it is stopped; false when it
  // ended first (then wait() still collects it).
  bool stop();
  // Continues a stopped process.
  void resume() const;

  // With pause_at_fsync: returns once the program is stopped at the start
  // of its first fsync() call, which it makes only once a file is written
  // whole; false when it ended first. The program stays stopped until
  // release_from_fsync(); a signal sent meanwhile is delivered as soon as
  // the fsync returns, before the program does anything else.
  bool wait_for_fsync();
  void release_from_fsync();

  // What /proc shows for each of its open descriptors: the file's path,
  // with " (deleted)" after a file that has no name, "pipe:[N]" for a pipe.
  std::vector<std::string> open_files() const;

  // Waits for the end of the process and of its output.
  ProcessResult wait();

 private:
  pid_t pid_ = -1;
  bool waited_ = false;
  bool traced_ = false;
  bool ended_early_ = false;  // stop() or wait_for_fsync() reaped it
  int early_status_ = 0;
  std::string out_;
  std::string err_;
  std::thread out_reader_;
  std::thread err_reader_;
  std::thread in_writer_;
};

// Starts the program and waits for it.
ProcessResult run_process(const std::string& program, const std::vector<std::string>& args,
                          const ProcessOptions& options = {});

// True when the programs were built with AddressSanitizer, whose shadow
// memory no address-space limit leaves room for.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kBuiltWithSanitizers = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kBuiltWithSanitizers = true;
#else
constexpr bool kBuiltWithSanitizers = false;
#endif
#else
constexpr bool kBuiltWithSanitizers = false;
#endif

// Where the programs under test are.
inline const char* vxlforge_binary() { return VXLFORGE_BINARY; }
#ifdef VXLINSPECT_BINARY  // only where the tools are built
inline const char* vxlinspect_binary() { return VXLINSPECT_BINARY; }
#endif

}  // namespace vxlforge::testing

#endif  // VXLFORGE_TESTS_SUPPORT_PROCESS_H_
