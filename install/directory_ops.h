// Directory operations (user-interface thread only).
#pragma once

// 1 when path names a directory that can be made the current directory. The process's
// current directory is the same afterwards.
int DirectoryExists(const char* path);
// Creates path with its missing parents; nonzero when the directory exists at the end.
int CreateDirectoryTree(const char* path);
// Nonzero when path exists as a directory, creating it if needed; *created (when given)
// tells whether it had to be.
int EnsureDirectory(const char* path, bool* created = nullptr);
