#include "install/held_entry.h"

#include "install/system_calls.h"

HeldHandle& HeldHandle::operator=(HeldHandle&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.Release();
  }
  return *this;
}

HANDLE HeldHandle::Release() {
  HANDLE handle = handle_;
  handle_ = INVALID_HANDLE_VALUE;
  return handle;
}

void HeldHandle::Close() {
  if (IsOpen()) CloseHandle(Release());
}

HeldHandle HoldFolder(const char* path, bool withDelete) {
  // Listing access, so that the handle's sharing counts (a handle with only attribute
  // rights shares nothing); a folder to be proven and removed also needs its owner read.
  DWORD access = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE |
                 (withDelete ? DELETE | READ_CONTROL : 0);
  return HeldHandle(g_system.CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS |
                                             FILE_FLAG_OPEN_REPARSE_POINT,
                                         nullptr));
}

HeldHandle OpenToRemove(const char* path) {
  return HeldHandle(g_system.CreateFileA(
      path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

Kind KindOf(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO info = {};
  if (!g_system.GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info))
    return Kind::kUnknown;
  if ((info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      IsReparseTagNameSurrogate(info.ReparseTag))
    return Kind::kLink;
  return (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::kFolder : Kind::kFile;
}

namespace {

// Whether sid is the user or the default owner of this process's token.
bool IsTokenSid(PSID sid, TOKEN_INFORMATION_CLASS which) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  // Both hold a SID and a little more; SECURITY_MAX_SID_SIZE is the largest a SID is.
  union {
    TOKEN_USER user;
    TOKEN_OWNER owner;
    BYTE room[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } info;
  DWORD size = 0;
  bool same = GetTokenInformation(token, which, &info, sizeof info, &size) &&
              EqualSid(sid, which == TokenUser ? info.user.User.Sid : info.owner.Owner);
  CloseHandle(token);
  return same;
}

}  // namespace

bool OwnedByUs(HANDLE handle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (g_system.GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                               nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return false;
  // An elevated process's new objects are the Administrators group's, a plain one's its
  // user's; no one without administrator rights can make either the owner.
  bool ours = owner && IsValidSid(owner) &&
              (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
               IsWellKnownSid(owner, WinLocalSystemSid) || IsTokenSid(owner, TokenUser) ||
               IsTokenSid(owner, TokenOwner));
  LocalFree(descriptor);
  return ours;
}

bool RemoveByHandle(HANDLE handle, Kind kind) {
  // A read-only file refuses removal: the attribute goes first (a zero field is left
  // as it is).
  FILE_BASIC_INFO basic = {};
  basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (kind == Kind::kFile)
    g_system.SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return g_system.SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                             sizeof disposition) != FALSE;
}

void GuardAgainstRedirection() {
  PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy = {};
  policy.EnforceRedirectionTrust = 1;
  // Refused before Windows 11 22H2 (an unknown policy), missing before Windows 8: the
  // handles held and checked protect the install either way.
  (void)g_system.SetProcessMitigationPolicy(ProcessRedirectionTrustPolicy, &policy,
                                            sizeof policy);
}
