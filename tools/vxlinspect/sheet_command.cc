#include "vxlinspect/sheet_command.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "base/file_output.h"
#include "base/parallel_rows.h"
#include "vxlinspect/html_command.h"
#include "vxlinspect/inspect.h"
#include "vxlinspect/page_encoding.h"
#include "vxlinspect/page_template.h"
#include "vxlinspect/sheet_entry.h"
#include "vxlinspect/web_files.h"

namespace vxlforge {

namespace {

// A thread holds a decoded map (about 100 MB) while it works; four are
// plenty for the cores of a desktop and keep the total bounded.
constexpr unsigned kMaxWorkers = 4;

// Makes `path` a folder unless it is one already; "" or why not.
std::string make_folder(const std::string& path) {
  if (mkdir(path.c_str(), 0777) == 0) return "";
  const int error = errno;
  struct stat info;
  if (error == EEXIST && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return "";
  return "cannot make folder '" + path + "': " + std::strerror(error);
}

// Rows finish in any order on the workers and go into the index in the
// order given. A worker may start map k only while k is less than
// `window` rows ahead of the next row the index takes, so at most that
// many finished rows (small) and one map per worker (large) are held. The
// room for every row's place is taken up front, so handing a row over
// never allocates and cannot fail.
class RowQueue {
 public:
  RowQueue(std::size_t count, std::size_t window)
      : rows_(count), done_(count, false), window_(window) {}

  // The next map to work on, once its turn has come; false when none is left.
  bool next_job(std::size_t* k) {
    std::unique_lock lock(mutex_);
    if (next_job_ >= rows_.size()) return false;
    *k = next_job_++;
    changed_.wait(lock, [&] { return *k < taken_ + window_; });
    return true;
  }

  void put(std::size_t k, std::string row) {
    std::lock_guard lock(mutex_);
    rows_[k] = std::move(row);
    done_[k] = true;
    changed_.notify_all();
  }

  // Row `k`, once it is done; rows are taken in order 0, 1, 2, ...
  std::string take(std::size_t k) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return done_[k]; });
    std::string row = std::move(rows_[k]);
    taken_ = k + 1;
    changed_.notify_all();
    return row;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> rows_;
  std::vector<bool> done_;
  std::size_t window_;
  std::size_t next_job_ = 0;
  std::size_t taken_ = 0;
};

std::string sheet_title(std::size_t maps) {
  return std::to_string(maps) + (maps == 1 ? " map" : " maps");
}

}  // namespace

namespace {

int sheet(const std::vector<std::string>& arguments) {
  const std::string& outdir = arguments[0];
  const std::vector<std::string> paths(arguments.begin() + 1, arguments.end());
  for (const std::string& folder : {outdir, outdir + "/maps", outdir + "/thumbs"}) {
    const std::string reason = make_folder(folder);
    if (!reason.empty()) {
      std::fprintf(stderr, "vxlinspect: %s\n", reason.c_str());
      return kInspectFailed;
    }
  }

  const std::vector<std::string> stems = sheet_stems(paths);
  const auto cores = static_cast<std::size_t>(usable_processors());
  const std::size_t workers = std::min<std::size_t>({cores, kMaxWorkers, paths.size()});
  RowQueue queue(paths.size(), 2 * workers);
  std::atomic<bool> any_failed{false};
  std::mutex stderr_mutex;

  auto work = [&] {
    SheetScratch scratch;
    std::size_t k;
    while (queue.next_job(&k)) {
      std::string reason;
      // make_sheet_entry reports running out of memory in its row; a row
      // that cannot even be made stays empty, and the index says why.
      std::string row;
      try {
        const SheetEntry entry{paths[k], map_display_name(paths[k]), stems[k]};
        row = make_sheet_entry(outdir, entry, &scratch, &reason);
      } catch (const std::bad_alloc&) {
        reason = "out of memory";
      }
      if (!reason.empty()) {
        any_failed = true;
        std::lock_guard lock(stderr_mutex);
        std::fprintf(stderr, "vxlinspect: %s: %s\n", paths[k].c_str(), reason.c_str());
      }
      queue.put(k, std::move(row));
    }
  };
  // The index's parts, made before any worker starts, so that nothing the
  // main thread does later but writing the rows can fail.
  const std::string script(web_file("sheet.js"));
  const std::string style(web_file("sheet.css"));
  const std::string policy = page_policy(script, style, "'self'");
  const std::string title = sheet_title(paths.size());
  const std::string_view page = web_file("sheet.html");
  const std::size_t rows_at = page.find("{{ROWS}}");
  auto part = [&](std::string_view text) {
    return fill_page(text, {{"CSP", html_escape(policy)},
                            {"TITLE", html_escape(title)},
                            {"STYLE", style},
                            {"SCRIPT", script}});
  };
  std::vector<std::thread> threads;
  threads.reserve(workers);
  for (std::size_t i = 0; i < workers; ++i) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // the threads started so far do the work
    }
  }
  if (threads.empty()) {
    std::fputs("vxlinspect: sheet: cannot start a worker thread\n", stderr);
    return kInspectFailed;
  }

  // The index streams out as the rows come: the page up to its rows, each
  // row, then the rest, into a file that replaces index.html only once
  // complete.

  ReplacingFile index;
  const std::string index_path = outdir + "/index.html";
  bool index_failed = false;
  // Rows must still be taken when memory runs out, so that no worker
  // waits for its turn for ever.
  auto write = [&](auto make_text) {
    try {
      const std::string text = make_text();
      index.append(text.data(), text.size());
    } catch (const std::bad_alloc&) {
      index_failed = true;
    }
  };
  index.open(index_path.c_str());
  write([&] { return part(page.substr(0, rows_at)) + "[\n"; });
  for (std::size_t k = 0; k < paths.size(); ++k) {
    std::string row = queue.take(k);
    write([&] {
      if (row.empty()) row = "{\"error\":\"out of memory\",\"name\":\"\"}";
      return script_safe_json(row) + (k + 1 < paths.size() ? ",\n" : "\n");
    });
  }
  for (std::thread& thread : threads) thread.join();
  write([&] {
    std::string tail = "]";
    tail += part(page.substr(rows_at + std::strlen("{{ROWS}}")));
    return tail;
  });
  if (index_failed) {
    std::fprintf(stderr, "vxlinspect: cannot write '%s': out of memory\n", index_path.c_str());
    return kInspectFailed;
  }
  std::string reason;
  if (!index.finish(&reason)) {
    std::fprintf(stderr, "vxlinspect: cannot write '%s': %s\n", index_path.c_str(), reason.c_str());
    return kInspectFailed;
  }
  return any_failed ? kInspectFailed : kInspectOk;
}

}  // namespace

int run_sheet_command(const ParsedCommand& parsed, StandardOutput&) {
  try {
    return sheet(parsed.arguments);
  } catch (const std::bad_alloc&) {
    // Only before the workers start: afterwards every allocation is caught
    // where it happens.
    std::fputs("vxlinspect: sheet: out of memory\n", stderr);
    return kInspectFailed;
  }
}

}  // namespace vxlforge
