#ifndef VXLFORGE_TESTS_SUPPORT_TEMPORARY_FILES_H_
#define VXLFORGE_TESTS_SUPPORT_TEMPORARY_FILES_H_

#include <dirent.h>

#include <set>
#include <string>

#include "support/process.h"

namespace vxlforge::testing {

// The names in `folder`, "." and ".." aside; {"(cannot list)"} when it
// cannot be read.
inline std::set<std::string> files_in(const std::string& folder) {
  std::set<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return {"(cannot list)"};
  while (dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.insert(name);
  }
  closedir(dir);
  return names;
}


// Whether the running program has a temporary file for a file in `folder`
// right now: a hidden ".vxlforge-partial-*" file there when `named`, else
// an open unnamed file (O_TMPFILE), which /proc shows as "FOLDER/#INODE
// (deleted)".
inline bool has_temporary_file(const Process& p, const std::string& folder, bool named) {
  if (!named) {
    for (const std::string& file : p.open_files()) {
      if (file.rfind(folder + "/#", 0) == 0) return true;
    }
    return false;
  }
  bool found = false;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* e = readdir(dir)) {
      if (std::string(e->d_name).rfind(".vxlforge-partial-", 0) == 0) found = true;
    }
    closedir(dir);
  }
  return found;
}

// Runs the program with pause_at_fsync until it stops at its fsync, with
// its file complete but not yet in place, checks that the temporary file is
// there, sends `sig` and lets it go on. Returns false when it never got
// there; `result` then says why.
inline bool interrupt_at_fsync(const std::string& program, const std::vector<std::string>& args,
                               ProcessOptions options, int sig, ProcessResult* result) {
  options.pause_at_fsync = true;
  Process p(program, args, options);
  if (!p.wait_for_fsync()) {
    *result = p.wait();
    return false;
  }
  const bool present =
      has_temporary_file(p, options.working_directory, options.refuse_unnamed_files);
  p.send(sig);
  p.release_from_fsync();
  *result = p.wait();
  return present;
}

}  // namespace vxlforge::testing

#endif  // VXLFORGE_TESTS_SUPPORT_TEMPORARY_FILES_H_
