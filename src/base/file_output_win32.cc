// The Windows side of file_output.h: the same promise, kept with the
// system's own calls. The pieces go to a new temporary file in the target's
// folder, are flushed to the disk (FlushFileBuffers) and the file is moved
// over the target in one step (MoveFileExW, replacing, written through).
// Paths arrive as UTF-8 and are turned into the system's UTF-16 names.
//
// Error codes kept in error_ are the system's (GetLastError), and finish
// gives the system's message for the first one. The descriptor fd_ is a C
// runtime descriptor that owns the file's handle; target_ and temporary_
// hold UTF-8 names.
//
// Ctrl-C, Ctrl-Break and closing the console remove the temporary file
// through signal_cleanup.h; the file is opened with FILE_SHARE_DELETE so
// that the handler can delete it while it is still open.

#include "base/file_output.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/signal_cleanup.h"

namespace vxlforge {

namespace {

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
    // Shared for deletion only, so that the Ctrl-C handler can remove it.
    const HANDLE file = CreateFileW(name->c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
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
  if (kind == PathKind::kOther) {
    kind_ = Kind::kInPlace;
    file = CreateFileW(wide_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail(static_cast<int>(GetLastError()));
  } else {
    kind_ = Kind::kNamed;
    std::wstring temporary;
    {
      // Made and recorded together, so that Ctrl-C removes it in any case.
      HeldSignals held;
      file = create_temporary(target, &temporary, &error);
      if (file == INVALID_HANDLE_VALUE) return fail(error);
      temporary_ = to_utf8(temporary);
      cleanup_handle_ = remove_on_signal(temporary_.c_str());
    }
    target_ = to_utf8(target);
  }
  fd_ = _open_osfhandle(reinterpret_cast<std::intptr_t>(file), _O_WRONLY | _O_BINARY);
  if (fd_ < 0) {
    CloseHandle(file);
    return fail(ERROR_TOO_MANY_OPEN_FILES);
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
  if (error_ == 0 && kind_ == Kind::kNamed && !FlushFileBuffers(handle_of(fd_))) {
    fail(static_cast<int>(GetLastError()));
  }
  if (error_ == 0) {
    const int fd = fd_;
    fd_ = -1;
    if (_close(fd) != 0) fail(ERROR_WRITE_FAULT);
  }
  if (error_ == 0 && kind_ == Kind::kNamed) {
    std::wstring temporary;
    std::wstring target;
    if (!to_wide(temporary_.c_str(), &temporary) || !to_wide(target_.c_str(), &target)) {
      fail(ERROR_NO_UNICODE_TRANSLATION);
    } else {
      // Moved and forgotten together: Ctrl-C finds the file under one of
      // its names, never half-way.
      HeldSignals held;
      if (!MoveFileExW(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        fail(static_cast<int>(GetLastError()));
      } else {
        temporary_.clear();
        forget_on_signal(cleanup_handle_);
        cleanup_handle_ = -1;
      }
    }
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
  if (fd_ >= 0) _close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) {
    std::wstring temporary;
    HeldSignals held;
    if (to_wide(temporary_.c_str(), &temporary)) DeleteFileW(temporary.c_str());
    forget_on_signal(cleanup_handle_);
  }
  temporary_.clear();
  cleanup_handle_ = -1;
}

bool write_file_replacing(const char* path, const void* data, std::size_t size,
                          std::string* reason) {
  ReplacingFile file;
  if (file.open(path)) file.append(data, size);
  return file.finish(reason);
}

// The volume and the file's number on it. FileIdInfo needs no access
// right, so it also answers for a standard output opened for writing only
// (as a shell's redirection is); older systems only have the other call.
bool file_identity(HANDLE file, FILE_ID_INFO* id) {
  if (GetFileInformationByHandleEx(file, FileIdInfo, id, sizeof(*id))) return true;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return false;
  *id = FILE_ID_INFO{};
  id->VolumeSerialNumber = info.dwVolumeSerialNumber;
  const std::uint64_t index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  std::memcpy(id->FileId.Identifier, &index, sizeof(index));
  return true;
}

// Only files on a disk are compared: a console, a pipe or a device has no
// file number to tell it by.
bool names_open_file(const char* path, int fd) {
  std::wstring wide_path;
  if (!to_wide(path, &wide_path) || wide_path.rfind(L"\\\\.\\", 0) == 0) return false;
  const HANDLE open_file = handle_of(fd);
  if (open_file == INVALID_HANDLE_VALUE || GetFileType(open_file) != FILE_TYPE_DISK) return false;
  const HANDLE named = CreateFileW(wide_path.c_str(), 0,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (named == INVALID_HANDLE_VALUE) return false;
  FILE_ID_INFO a{};
  FILE_ID_INFO b{};
  const bool same = GetFileType(named) == FILE_TYPE_DISK && file_identity(named, &a) &&
                    file_identity(open_file, &b) &&
                    a.VolumeSerialNumber == b.VolumeSerialNumber &&
                    std::memcmp(a.FileId.Identifier, b.FileId.Identifier,
                                sizeof(a.FileId.Identifier)) == 0;
  CloseHandle(named);
  return same;
}

}  // namespace vxlforge
