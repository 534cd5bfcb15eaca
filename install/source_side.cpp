#include "install/source_side.h"

#include "install/system_calls.h"

namespace {

// What the system answers for a file on media that went away or cannot be reached: a
// disc or drive taken out or not ready, a share or its server gone, a disc that cannot be
// read. A listed file that is no longer there counts too: the media changed.
bool IsMediaGoneError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_CRC:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_WRONG_DISK:
    case ERROR_REM_NOT_LIST:
    case ERROR_BAD_NETPATH:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_NET_RESP:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETNAME_DELETED:
    case ERROR_BAD_NET_NAME:
    case ERROR_SEM_TIMEOUT:
    case ERROR_MEDIA_CHANGED:
    case ERROR_NO_MEDIA_IN_DRIVE:
    case ERROR_IO_DEVICE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE:
    case ERROR_CONNECTION_ABORTED:
      return true;
    default:
      return false;
  }
}

}  // namespace

Failure WhyNotCopied(const char* source, DWORD error) {
  // For reading, sharing only reading: a program writing the file, or holding it
  // unshared, refuses this open with a sharing violation.
  HANDLE file = g_system.CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return {Reason::kSystem, error};  // the media are fine
  }
  DWORD why = GetLastError();
  if (why == ERROR_SHARING_VIOLATION || why == ERROR_LOCK_VIOLATION)
    return {Reason::kSourceInUse, 0};
  if (IsMediaGoneError(why)) return {Reason::kMediaNotRead, why};
  return {Reason::kSystem, error};
}
