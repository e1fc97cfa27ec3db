#ifndef VXLFORGE_VXL_FILE_OUTPUT_H_
#define VXLFORGE_VXL_FILE_OUTPUT_H_

#include <cstddef>
#include <string>

namespace vxlforge {

// A file written in pieces so that a failure never leaves a half-written
// file behind: the pieces go to a temporary file in the same folder, which
// is renamed over the path only once every piece is written, synced and the
// file closed. A new file gets 0666 less the umask; a file that is replaced
// keeps its permission bits. When the path is a symbolic link the file it
// points to is replaced and the link stays. Something that is not a regular
// file (a device, a pipe, anything under /dev/) is written directly, since
// it cannot be replaced.
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
  bool fail(int error);
  void discard();

  int fd_ = -1;
  int error_ = 0;
  std::string temporary_;  // empty when writing in place
  std::string target_;
  std::size_t written_ = 0;

};

// The whole of `size` bytes as one piece: open, append and finish.
bool write_file_replacing(const char* path, const void* data, std::size_t size,
                          std::string* reason);

}  // namespace vxlforge

#endif  // VXLFORGE_VXL_FILE_OUTPUT_H_
