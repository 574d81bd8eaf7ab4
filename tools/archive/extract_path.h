// Where `x` may write an entry: the entry's name as a path below the output folder. Archive names
// are untrusted, so absolute names, drive letters and ".." are refused rather than repaired.
#pragma once

#include <string>

namespace zelk4::archive_tool {

// Turns a stored name into a relative path with '/' separators: backslashes become folders, empty
// and "." parts are dropped. False (and *path untouched) for an absolute name, a drive letter, a
// ".." part, or a name with nothing left.
bool SafeRelativePath(const std::string& storedName, std::string* path);

// Writes bytes to folder/relative, making the folders between. Never follows a symbolic link and
// never replaces an existing file unless overwrite is set. False with *error set on failure.
bool WriteBelow(const std::string& folder, const std::string& relative, const unsigned char* data,
                size_t size, bool overwrite, std::string* error);

// Makes folder/relative and the folders between (for folder entries).
bool MakeFoldersBelow(const std::string& folder, const std::string& relative, std::string* error);

}  // namespace zelk4::archive_tool
