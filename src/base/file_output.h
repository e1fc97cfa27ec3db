#ifndef VXLFORGE_BASE_FILE_OUTPUT_H_
#define VXLFORGE_BASE_FILE_OUTPUT_H_

#include <sys/types.h>

#include <cstddef>
#include <string>

// How this system deals with failure; the I/O layer starts here.
//  - Domain code (the generator, the encoder and decoder of map files, the
//    previews) does not fail: for any input it returns its result. A
//    malformed map is a decoder's answer, not a failure.
//  - I/O returns whether it succeeded and, when not, the reason in words a
//    person can act on (the operating system's message): a bool with a
//    `std::string* reason`, or a result that carries the reason. Nothing
//    half-written is left behind when it fails.
//  - No exception escapes an entry point. What only exhaustion can cause
//    (std::bad_alloc; std::system_error when no thread can start) is caught
//    at the entry point and becomes one line on standard error and exit
//    status 1; the unwinding on the way removes any temporary file.

namespace vxlforge {

// A file written in pieces so that a failure or an interrupt never leaves a
// half-written file behind. What the path names, after following symbolic
// links, decides how:
//  - nothing yet, or a regular file: the pieces go to a temporary file in
//    the same folder, which takes the path's name only once every piece is
//    written, synced and the file complete. The temporary has no name at
//    all where the system allows (O_TMPFILE), so that even a killed process
//    leaves nothing; elsewhere it is a hidden ".vxlforge-partial-*" file,
//    removed on failure and on SIGINT, SIGTERM, SIGHUP and SIGPIPE. The
//    replaced file is a new file: it belongs to whoever runs the program,
//    keeps the old file's permission bits (rwx for owner, group and others;
//    not set-id or sticky bits, which the new owner would not have given),
//    and other hard links to the old file keep the old content. A new file
//    gets 0666 less the umask. A symbolic link stays and the file it names
//    is replaced.
//  - a device, a pipe or a socket: written in place, since it cannot be
//    replaced.
//  - a folder: refused.
//
// Use: open, append any number of times, then finish. Every call returns
// false once something has failed, and finish reports the operating
// system's reason for the first failure. After a failure, or when the
// object goes away without a successful finish, the temporary file is
// removed and any file at the path is left as it was.
class ReplacingFile {
 public:
  ReplacingFile() = default;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();

  bool open(const char* path);
  bool append(const void* data, std::size_t size);
  bool finish(std::string* reason);

 private:
  enum class Kind { kNone, kInPlace, kUnnamed, kNamed };

  bool open_in_place(const std::string& path);
  bool open_temporary(mode_t mode);
  bool name_unnamed_file();
  bool fail(int error);
  void discard();

  Kind kind_ = Kind::kNone;
  int fd_ = -1;
  int error_ = 0;
  std::string target_;     // the path that gets the file
  std::string temporary_;  // the named temporary, while it exists
  int cleanup_handle_ = -1;
  std::size_t written_ = 0;
};

// The whole of `size` bytes as one piece: open, append and finish.
bool write_file_replacing(const char* path, const void* data, std::size_t size,
                          std::string* reason);

// True when `path` names the file that descriptor `fd` has open (the same
// device and inode, after following links), as /dev/stdout does for
// descriptor 1, or a FIFO does for the pipe it was opened as. On Windows
// only files on a disk compare (volume serial number and file number); a
// console, pipe or device is never the same. (Under wine a standard output
// that a Unix shell redirected reports no volume, so it never compares.)
bool names_open_file(const char* path, int fd);

}  // namespace vxlforge

#endif  // VXLFORGE_BASE_FILE_OUTPUT_H_
