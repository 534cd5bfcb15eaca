// Folders that unit tests make for themselves and remove again.
#pragma once

#include <windows.h>

#include <string>

// Makes dir with its missing parents.
inline void MakeDir(const std::string& dir) {
  for (size_t at = dir.find('\\', 3); at != std::string::npos; at = dir.find('\\', at + 1))
    CreateDirectoryA(dir.substr(0, at).c_str(), nullptr);
  CreateDirectoryA(dir.c_str(), nullptr);
}

// Removes dir with everything in it.
inline void RemoveTree(const std::string& dir) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = fd.cFileName, full = dir + "\\" + name;
      if (name == "." || name == "..") continue;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(full);
      else
        DeleteFileA(full.c_str());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(dir.c_str());
}
