// Files and folders that the install step works in or removes, opened as themselves (a
// link is opened, never followed), checked on that handle and removed by it. setup.exe
// runs as administrator in folders that other accounts may change: a name checked a
// moment before may be a junction now, so nothing is done again by name.
#pragma once

#include <windows.h>

// What an open handle stands for. Only name surrogates (junctions, symbolic links) are
// links; other reparse points (a cloud placeholder, a deduplicated file) are the file or
// folder they stand for.
enum class Kind { kUnknown, kFile, kFolder, kLink };

// A handle closed when it goes out of scope.
class HeldHandle {
 public:
  HeldHandle() = default;
  explicit HeldHandle(HANDLE handle) : handle_(handle) {}
  HeldHandle(HeldHandle&& other) noexcept : handle_(other.Release()) {}
  HeldHandle& operator=(HeldHandle&& other) noexcept;
  HeldHandle(const HeldHandle&) = delete;
  HeldHandle& operator=(const HeldHandle&) = delete;
  ~HeldHandle() { Close(); }
  HANDLE Get() const { return handle_; }
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Release();
  void Close();

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Opens the folder at path itself and holds it: without delete sharing, so that no one
// can rename, remove or replace it while the handle is open. It is shared for reading and
// writing, so files can still be made and renamed in it; withDelete adds the rights to
// read its owner and remove it by this handle, which must not be asked of a folder that
// files are renamed into (a rename opens the target's folder for writing without delete
// sharing, and would be refused).
[[nodiscard]] HeldHandle HoldFolder(const char* path, bool withDelete);
// Opens the entry at path itself, to look at it and remove it; shared with anyone.
[[nodiscard]] HeldHandle OpenToRemove(const char* path);
Kind KindOf(HANDLE handle);
// Whether the entry's owner is one that no other, non-administrator account can give it:
// this process's user, the owner it gives new objects, the Administrators group or the
// system.
bool OwnedByUs(HANDLE handle);
// Removes the entry of that kind open on handle (a file's read-only attribute cleared
// first: the handle needs FILE_WRITE_ATTRIBUTES for it); a folder only if empty. It goes
// when the last handle to it closes.
bool RemoveByHandle(HANDLE handle, Kind kind);

// Opts the process into refusing junctions that non-administrators made (where Windows
// has it); anything else goes on as before.
void GuardAgainstRedirection();
