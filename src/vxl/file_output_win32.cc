// The Windows side of file_output.h: the same promise, kept with the
// system's own calls. The pieces go to a new temporary file in the target's
// folder, are flushed to the disk (FlushFileBuffers) and the file is moved
// over the target in one step (MoveFileExW, replacing, written through).
// Paths arrive as UTF-8 and are turned into the system's UTF-16 names.
//
// Error codes kept in error_ are the system's (GetLastError), and finish
// gives the system's message for the first one. The descriptor fd_ is a C
// runtime descriptor that owns the file's handle.
//
// Ctrl-C, Ctrl-Break and closing the console end the process on another
// thread. A handler marks every temporary file still being written for
// deletion, which the system carries out when the process's handles close,
// and ends the process as the system would, with STATUS_CONTROL_C_EXIT.

#include "vxl/file_output.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vxlforge {

namespace {

// A temporary file that is not yet in place. The wide names and the handle
// live here rather than in the object, so that the Ctrl-C handler can reach
// them.
struct PendingFile {
  const ReplacingFile* owner;
  HANDLE handle;  // INVALID_HANDLE_VALUE once closed
  std::wstring temporary;
  std::wstring target;
};

std::mutex pending_mutex;
std::vector<PendingFile> pending_files;
bool handler_installed = false;

PendingFile* find_pending(const ReplacingFile* owner) {
  for (PendingFile& file : pending_files) {
    if (file.owner == owner) return &file;
  }
  return nullptr;
}

void forget_pending(const ReplacingFile* owner) {
  for (auto it = pending_files.begin(); it != pending_files.end(); ++it) {
    if (it->owner == owner) {
      pending_files.erase(it);
      return;
    }
  }
}

BOOL WINAPI on_console_stop(DWORD /*event*/) {
  // Taken and never given back: from here on no temporary file can be
  // renamed into place, and the process is about to end.
  pending_mutex.lock();
  for (const PendingFile& file : pending_files) {
    if (file.handle != INVALID_HANDLE_VALUE) {
      FILE_DISPOSITION_INFO dispose{};
      dispose.DeleteFile = TRUE;
      SetFileInformationByHandle(file.handle, FileDispositionInfo, &dispose, sizeof(dispose));
    } else {
      DeleteFileW(file.temporary.c_str());
    }
  }
  // What the system's own handler does, said here so that every way of
  // running the program (also under emulation) ends with this status.
  ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
  return FALSE;
}

bool to_wide(const char* text, std::wstring* out) {
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (size <= 0) return false;
  out->assign(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, out->data(), size);
  out->pop_back();
  return true;
}

std::string to_utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
  }
  return out;
}

// A folder at the path: the system has no code that says so plainly. Codes
// with bit 29 set are the program's own.
constexpr int kIsFolder = 0x20000001;

// The system's message for an error code, without its closing full stop,
// the way the POSIX side's messages read.
std::string system_message(int error) {
  if (error == kIsFolder) return "Is a directory";
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message;
  if (length > 0 && text != nullptr) message = to_utf8(std::wstring(text, length));
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  if (message.empty()) message = "system error " + std::to_string(error);
  return message;
}

// Everything of `path` up to its last separator, so that a file name can be
// put beside it. "C:map.vxl" names a file in drive C's current folder.
std::wstring folder_prefix(const std::wstring& path) {
  const std::wstring::size_type cut = path.find_last_of(L"\\/");
  if (cut != std::wstring::npos) return path.substr(0, cut + 1);
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
  return std::wstring();
}

HANDLE handle_of(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

enum class PathKind { kMissing, kFile, kFolder, kOther };

// What `path` names once links are followed: nothing yet, a file on a disk,
// a folder, or something else (a console, NUL, a pipe, a device), which is
// written in place. For a file, `*target` is the file finally named and
// `*read_only` its read-only attribute. False, with the reason, when that
// cannot be told.
bool examine(const std::wstring& path, std::wstring* target, bool* read_only, PathKind* kind,
             int* error) {
  *target = path;
  *read_only = false;
  // The device namespace: opening a pipe there to look at it would take
  // one of its instances.
  if (path.rfind(L"\\\\.\\", 0) == 0) {
    *kind = PathKind::kOther;
    return true;
  }
  const HANDLE probe = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    const DWORD reason = GetLastError();
    if (reason == ERROR_FILE_NOT_FOUND || reason == ERROR_PATH_NOT_FOUND) {
      *kind = PathKind::kMissing;
      return true;
    }
    *error = static_cast<int>(reason);
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(probe) != FILE_TYPE_DISK) {
    *kind = PathKind::kOther;
  } else if (!GetFileInformationByHandle(probe, &info)) {
    *error = static_cast<int>(GetLastError());
    CloseHandle(probe);
    return false;
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    *kind = PathKind::kFolder;
  } else {
    *kind = PathKind::kFile;
    *read_only = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    // A link is replaced through: the file it names gets the map and the
    // link stays, as on POSIX systems.
    const DWORD own = GetFileAttributesW(path.c_str());
    if (own != INVALID_FILE_ATTRIBUTES && (own & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      std::vector<wchar_t> buffer(32768);
      const DWORD length = GetFinalPathNameByHandleW(probe, buffer.data(),
                                                     static_cast<DWORD>(buffer.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
      if (length > 0 && length < buffer.size()) target->assign(buffer.data(), length);
    }
  }
  CloseHandle(probe);
  return true;
}

// A new, empty file beside `target`, under a name no other file has.
HANDLE create_temporary(const std::wstring& target, std::wstring* name, int* error) {
  static unsigned counter = 0;
  const std::wstring prefix = folder_prefix(target) + L".vxlforge-partial-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-";
  for (int attempt = 0; attempt < 1000; ++attempt) {
    *name = prefix + std::to_wstring(GetTickCount64() % 1000000) + L"-" +
            std::to_wstring(++counter);
    // DELETE access lets the Ctrl-C handler mark the file for deletion.
    const HANDLE file = CreateFileW(name->c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    const DWORD reason = GetLastError();
    if (reason != ERROR_FILE_EXISTS && reason != ERROR_ALREADY_EXISTS) {
      *error = static_cast<int>(reason);
      return INVALID_HANDLE_VALUE;
    }
  }
  *error = ERROR_FILE_EXISTS;
  return INVALID_HANDLE_VALUE;
}

}  // namespace

ReplacingFile::~ReplacingFile() { discard(); }

bool ReplacingFile::open(const char* path) {
  if (path[0] == '\0') return fail(ERROR_PATH_NOT_FOUND);
  std::wstring wide_path;
  if (!to_wide(path, &wide_path)) return fail(ERROR_NO_UNICODE_TRANSLATION);
  std::wstring target;
  bool read_only = false;
  PathKind kind = PathKind::kMissing;
  int error = 0;
  if (!examine(wide_path, &target, &read_only, &kind, &error)) return fail(error);
  if (kind == PathKind::kFolder) return fail(kIsFolder);
  // Moving over a read-only file is refused only at the very end; refuse
  // it before the work instead, as writing it in place would be.
  if (kind == PathKind::kFile && read_only) return fail(ERROR_ACCESS_DENIED);

  HANDLE file = INVALID_HANDLE_VALUE;
  std::wstring temporary;
  if (kind == PathKind::kOther) {
    file = CreateFileW(wide_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail(static_cast<int>(GetLastError()));
  } else {
    file = create_temporary(target, &temporary, &error);
    if (file == INVALID_HANDLE_VALUE) return fail(error);
  }
  fd_ = _open_osfhandle(reinterpret_cast<std::intptr_t>(file), _O_WRONLY | _O_BINARY);
  if (fd_ < 0) {
    CloseHandle(file);
    if (!temporary.empty()) DeleteFileW(temporary.c_str());
    return fail(ERROR_TOO_MANY_OPEN_FILES);
  }
  if (!temporary.empty()) {
    temporary_ = to_utf8(temporary);
    target_ = to_utf8(target);
    std::lock_guard<std::mutex> lock(pending_mutex);
    pending_files.push_back(PendingFile{this, file, temporary, target});
    if (!handler_installed) handler_installed = SetConsoleCtrlHandler(on_console_stop, TRUE) != 0;
  }
  return true;
}

bool ReplacingFile::append(const void* data, std::size_t size) {
  if (error_ != 0) return false;
  if (fd_ < 0) return fail(ERROR_INVALID_HANDLE);
  const HANDLE file = handle_of(fd_);
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(size < (std::size_t{1} << 30) ? size : std::size_t{1} << 30);
    DWORD written = 0;
    if (!WriteFile(file, p, chunk, &written, nullptr)) return fail(static_cast<int>(GetLastError()));
    if (written == 0) return fail(ERROR_WRITE_FAULT);
    p += written;
    size -= written;
    written_ += written;
  }
  return true;
}

bool ReplacingFile::finish(std::string* reason) {
  if (error_ == 0 && fd_ < 0) fail(ERROR_INVALID_HANDLE);
  if (error_ == 0 && !temporary_.empty() && !FlushFileBuffers(handle_of(fd_))) {
    fail(static_cast<int>(GetLastError()));
  }
  if (error_ == 0) {
    int error = 0;
    {
      // Ctrl-C waits from the close to the move: it would otherwise find a
      // file it can neither mark nor be sure is still there.
      std::lock_guard<std::mutex> lock(pending_mutex);
      PendingFile* pending = find_pending(this);
      if (pending != nullptr) pending->handle = INVALID_HANDLE_VALUE;
      const int fd = fd_;
      fd_ = -1;
      if (_close(fd) != 0) {
        error = ERROR_WRITE_FAULT;
      } else if (pending != nullptr) {
        if (!MoveFileExW(pending->temporary.c_str(), pending->target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
          error = static_cast<int>(GetLastError());
        } else {
          forget_pending(this);
          temporary_.clear();
        }
      }
    }
    if (error != 0) fail(error);
  }
  if (error_ != 0) {
    *reason = system_message(error_);
    return false;
  }
  return true;
}

bool ReplacingFile::fail(int error) {
  if (error_ == 0) error_ = error;
  discard();
  return false;
}

void ReplacingFile::discard() {
  std::lock_guard<std::mutex> lock(pending_mutex);
  if (fd_ >= 0) _close(fd_);
  fd_ = -1;
  if (PendingFile* pending = find_pending(this)) {
    DeleteFileW(pending->temporary.c_str());
    forget_pending(this);
  }
  temporary_.clear();
}

bool write_file_replacing(const char* path, const void* data, std::size_t size,
                          std::string* reason) {
  ReplacingFile file;
  if (file.open(path)) file.append(data, size);
  return file.finish(reason);
}

}  // namespace vxlforge
