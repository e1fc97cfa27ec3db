#include "support/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vxlforge::testing {

namespace {

constexpr int kTestSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// Between fork and exec only system calls: the test process may have
// threads, and anything else could wait on a lock one of them held.
[[noreturn]] void fail_child(int status, const char* what) {
  const std::size_t length = std::strlen(what);
  [[maybe_unused]] ssize_t ignored = write(2, what, length);
  _exit(status);
}

#if defined(__x86_64__)
constexpr unsigned kAuditArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr unsigned kAuditArch = AUDIT_ARCH_AARCH64;
#else
constexpr unsigned kAuditArch = 0;
#endif

// A seccomp filter: with `refuse_unnamed`, openat with O_TMPFILE fails
// with EOPNOTSUPP (the C library's open() is openat on the architectures
// listed); with `trace_fsync`, fsync stops the program for its tracer.
// Every other call goes through. Built before fork.
std::vector<sock_filter> seccomp_filter(bool refuse_unnamed, bool trace_fsync) {
  // The low 32 bits of openat's third argument, the flags, on a
  // little-endian machine.
  constexpr unsigned kFlagsLow = offsetof(seccomp_data, args) + 2 * sizeof(std::uint64_t);
  constexpr unsigned kTmpfileBit = 020000000;  // O_TMPFILE less O_DIRECTORY
  std::vector<sock_filter> f = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kAuditArch, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
  };
  if (trace_fsync) {
    f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fsync, 0, 1));
    f.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRACE));
  }
  if (refuse_unnamed) {
    f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 4));
    f.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, kFlagsLow));
    f.push_back(BPF_STMT(BPF_ALU | BPF_AND | BPF_K, kTmpfileBit));
    f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kTmpfileBit, 0, 1));
    f.push_back(
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EOPNOTSUPP & SECCOMP_RET_DATA)));
  }
  f.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
  return f;
}

bool install_filter(std::vector<sock_filter>* filter) {
  if (kAuditArch == 0) return false;
  sock_fprog program = {static_cast<unsigned short>(filter->size()), filter->data()};
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

void set_limit(int resource, rlim_t value) {
  if (value == 0) return;
  const rlimit limit = {value, value};
  if (setrlimit(resource, &limit) != 0) fail_child(kCannotStart, "setrlimit failed\n");
}

// Everything the child needs, prepared before fork.
struct ChildSetup {
  const ProcessOptions* options;
  const char* program;
  char** argv;
  const char* stdin_path;
  int stdin_fd;   // -1: open stdin_path
  int stdout_fd;  // -1: open options->stdout_path
  int stderr_fd;
  std::vector<sock_filter>* filter;  // null: none
};

[[noreturn]] void run_child(const ChildSetup& setup) {
  const ProcessOptions& o = *setup.options;
  int in = setup.stdin_fd;
  if (in < 0) in = open(setup.stdin_path, O_RDONLY);
  int out = setup.stdout_fd;
  if (out < 0) out = open(o.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0) fail_child(kCannotStart, "cannot open standard input or output\n");
  if (dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(setup.stderr_fd, 2) < 0) {
    fail_child(kCannotStart, "dup2 failed\n");
  }
  if (!o.working_directory.empty() && chdir(o.working_directory.c_str()) != 0) {
    fail_child(kCannotStart, "chdir failed\n");
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  for (int sig : kTestSignals) signal(sig, SIG_DFL);
  for (int sig : o.ignored_signals) signal(sig, SIG_IGN);
  if (o.file_size_limit != 0) signal(SIGXFSZ, SIG_IGN);
  set_limit(RLIMIT_FSIZE, o.file_size_limit);
  set_limit(RLIMIT_STACK, o.stack_limit);
  if (o.unprivileged && geteuid() == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(kUnprivilegedId) != 0 ||
        setuid(kUnprivilegedId) != 0) {
      fail_child(kCannotDropPrivileges, "cannot become the unprivileged user\n");
    }
    if (access(setup.program, X_OK) != 0) {
      fail_child(kCannotDropPrivileges, "the program is not executable for that user\n");
    }
  }
  if (o.pause_at_fsync) {
    // Stopped until the parent, now its tracer, has set the options.
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0 || raise(SIGSTOP) != 0) {
      fail_child(kCannotRefuseUnnamedFiles, "cannot be traced\n");
    }
  }
  if (setup.filter != nullptr && !install_filter(setup.filter)) {
    fail_child(kCannotRefuseUnnamedFiles, "cannot install the seccomp filter\n");
  }
  // Last, so that the harness's own steps do not count against it.
  set_limit(RLIMIT_AS, o.address_space_limit);
  execv(setup.program, setup.argv);
  fail_child(kCannotStart, "exec failed\n");
}

void drain(int fd, std::string* into) {
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    into->append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
}

void feed(int fd, const std::string& data) {
  // A program that stops reading early must not end the test by SIGPIPE:
  // held back on this thread, the write fails with EPIPE instead.
  sigset_t pipe_signal;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
  std::size_t at = 0;
  while (at < data.size()) {
    const ssize_t n = write(fd, data.data() + at, data.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    at += static_cast<std::size_t>(n);
  }
  close(fd);
  const timespec no_wait = {0, 0};
  sigtimedwait(&pipe_signal, nullptr, &no_wait);
}

ProcessResult result_of(int raw) {
  ProcessResult r;
  if (WIFEXITED(raw)) r.status = WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) r.signal = WTERMSIG(raw);
  return r;
}

}  // namespace

Process::Process(const std::string& program, const std::vector<std::string>& args,
                 const ProcessOptions& options) {
  std::vector<std::string> words = {options.argv0.empty() ? program : options.argv0};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const std::string stdin_path = options.stdin_path.empty() ? "/dev/null" : options.stdin_path;

  int in[2] = {-1, -1};
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
  if ((options.feed_stdin && pipe2(in, O_CLOEXEC) != 0) ||
      (options.stdout_path.empty() && pipe2(out, O_CLOEXEC) != 0) ||
      pipe2(err, O_CLOEXEC) != 0) {
    return;
  }
  if (options.stdout_reader_gone) {
    close(out[0]);
    out[0] = -1;
  }
  std::vector<sock_filter> filter =
      seccomp_filter(options.refuse_unnamed_files, options.pause_at_fsync);
  const bool filtered = options.refuse_unnamed_files || options.pause_at_fsync;
  const ChildSetup setup = {&options,   program.c_str(), argv.data(), stdin_path.c_str(),
                            in[0],      out[1],          err[1],
                            filtered ? &filter : nullptr};
  pid_ = fork();
  if (pid_ == 0) run_child(setup);
  if (pid_ > 0 && options.pause_at_fsync) {
    int raw = 0;
    traced_ = waitpid(pid_, &raw, 0) == pid_ && WIFSTOPPED(raw) &&
              ptrace(PTRACE_SETOPTIONS, pid_, nullptr,
                     PTRACE_O_TRACESECCOMP | PTRACE_O_EXITKILL) == 0 &&
              ptrace(PTRACE_CONT, pid_, nullptr, nullptr) == 0;
    if (!traced_ && WIFEXITED(raw)) {
      ended_early_ = true;
      early_status_ = raw;
    }
  }
  for (int fd : {in[0], out[1], err[1]}) {
    if (fd >= 0) close(fd);
  }
  if (pid_ < 0) {
    for (int fd : {in[1], out[0], err[0]}) {
      if (fd >= 0) close(fd);
    }
    return;
  }
  if (in[1] >= 0) in_writer_ = std::thread(feed, in[1], options.stdin_data);
  if (out[0] >= 0) out_reader_ = std::thread(drain, out[0], &out_);
  err_reader_ = std::thread(drain, err[0], &err_);
}

Process::~Process() {
  if (pid_ > 0 && !waited_) {
    kill(pid_, SIGKILL);
    resume();
    wait();
  }
}

void Process::send(int sig) const {
  if (pid_ > 0 && !ended_early_) kill(pid_, sig);
}

bool Process::stop() {
  if (pid_ <= 0 || ended_early_) return false;
  kill(pid_, SIGSTOP);
  int raw = 0;
  if (waitpid(pid_, &raw, WUNTRACED) != pid_) return false;
  if (WIFSTOPPED(raw)) return true;
  ended_early_ = true;
  early_status_ = raw;
  return false;
}

void Process::resume() const {
  if (pid_ > 0 && !ended_early_) kill(pid_, SIGCONT);
}

bool Process::wait_for_fsync() {
  while (traced_ && !ended_early_) {
    int raw = 0;
    if (waitpid(pid_, &raw, 0) != pid_) return false;
    if (!WIFSTOPPED(raw)) {
      ended_early_ = true;
      early_status_ = raw;
      traced_ = false;
      return false;
    }
    if (raw >> 8 == (SIGTRAP | (PTRACE_EVENT_SECCOMP << 8))) return true;
    // Any other stop is a signal on its way: deliver it, but not the
    // SIGTRAP that exec raises for a tracee.
    const int sig = WSTOPSIG(raw) == SIGTRAP ? 0 : WSTOPSIG(raw);
    ptrace(PTRACE_CONT, pid_, nullptr, reinterpret_cast<void*>(static_cast<long>(sig)));
  }
  return false;
}

void Process::release_from_fsync() {
  if (!traced_ || ended_early_) return;
  ptrace(PTRACE_DETACH, pid_, nullptr, nullptr);
  traced_ = false;
}

std::vector<std::string> Process::open_files() const {
  std::vector<std::string> files;
  const std::string folder = "/proc/" + std::to_string(pid_) + "/fd";
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return files;
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    char target[PATH_MAX + 1] = {};
    const std::string link = folder + "/" + e->d_name;
    if (readlink(link.c_str(), target, PATH_MAX) > 0) files.push_back(target);
  }
  closedir(dir);
  return files;
}

ProcessResult Process::wait() {
  ProcessResult r;
  if (pid_ <= 0) {
    r.status = kCannotStart;
    r.err = "fork or pipe failed";
    return r;
  }
  int raw = early_status_;
  while (!ended_early_) {
    if (waitpid(pid_, &raw, 0) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (!WIFSTOPPED(raw)) break;
    // Still traced: let it go on untraced, with the signal that stopped it.
    const int sig = WSTOPSIG(raw) == SIGTRAP ? 0 : WSTOPSIG(raw);
    ptrace(PTRACE_DETACH, pid_, nullptr, reinterpret_cast<void*>(static_cast<long>(sig)));
    traced_ = false;
  }
  waited_ = true;
  for (std::thread* t : {&in_writer_, &out_reader_, &err_reader_}) {
    if (t->joinable()) t->join();
  }
  r = result_of(raw);
  r.out = out_;
  r.err = err_;
  return r;
}

ProcessResult run_process(const std::string& program, const std::vector<std::string>& args,
                          const ProcessOptions& options) {
  Process process(program, args, options);
  return process.wait();
}

}  // namespace vxlforge::testing
