#include "extract_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace zelk4::archive_tool {

namespace {

std::vector<std::string> SplitParts(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path + "/") {
    if (c == '/') {
      if (!part.empty() && part != ".") parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  return parts;
}

// Makes each folder of parts[0..count) below base; an existing part must be a real folder.
bool MakeFolders(const std::string& base, const std::vector<std::string>& parts, size_t count,
                 std::string* error) {
  std::string path = base;
  for (size_t i = 0; i < count; ++i) {
    path += "/" + parts[i];
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) {
        *error = "'" + path + "' exists and is not a folder";
        return false;
      }
      continue;
    }
    if (mkdir(path.c_str(), 0777) != 0) {
      *error = "cannot make folder '" + path + "': " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

}  // namespace

bool SafeRelativePath(const std::string& storedName, std::string* path) {
  std::string name = storedName;
  for (char& c : name)
    if (c == '\\') c = '/';
  if (name.empty() || name[0] == '/') return false;
  if (name.size() >= 2 && name[1] == ':') return false;  // C:file, C:\file
  std::string out;
  for (const std::string& part : SplitParts(name)) {
    if (part == "..") return false;
    if (!out.empty()) out += '/';
    out += part;
  }
  if (out.empty()) return false;
  *path = out;
  return true;
}

bool MakeFoldersBelow(const std::string& folder, const std::string& relative, std::string* error) {
  const std::vector<std::string> parts = SplitParts(relative);
  return MakeFolders(folder, parts, parts.size(), error);
}

bool WriteBelow(const std::string& folder, const std::string& relative, const unsigned char* data,
                size_t size, bool overwrite, std::string* error) {
  const std::vector<std::string> parts = SplitParts(relative);
  if (parts.empty() || !MakeFolders(folder, parts, parts.size() - 1, error)) {
    if (parts.empty()) *error = "empty path";
    return false;
  }
  const std::string path = folder + "/" + relative;
  struct stat st;
  int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC;
  if (lstat(path.c_str(), &st) == 0) {
    if (!overwrite) {
      *error = "'" + path + "' exists (use -f to overwrite)";
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      *error = "'" + path + "' exists and is not a regular file";
      return false;
    }
    flags |= O_TRUNC;
  } else {
    flags |= O_EXCL;
  }
  const int fd = open(path.c_str(), flags, 0666);
  if (fd < 0) {
    *error = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = "cannot write '" + path + "': " + std::strerror(errno);
      close(fd);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (close(fd) != 0) {
    *error = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace zelk4::archive_tool
