#include "platform/posix_files.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

bool posix_file_length(FILE* file, uint64_t* length) {
  struct stat info;
  if (fstat(fileno(file), &info) != 0) return false;
  *length = static_cast<uint64_t>(info.st_size);
  return true;
}

// The entry of `directory` whose name equals `name` without regard to case.
static bool find_entry(const std::string& directory, const std::string& name,
                       std::string* found) {
  DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
  if (!dir) return false;
  bool matched = false;
  while (struct dirent* entry = readdir(dir)) {
    if (strcasecmp(entry->d_name, name.c_str()) == 0) {
      *found = entry->d_name;
      matched = true;
      if (name == entry->d_name) break;  // an exact match wins
    }
  }
  closedir(dir);
  return matched;
}

FILE* posix_open_sound_file(const char* path) {
  if (FILE* file = fopen(path, "rb")) return file;
  if (errno != ENOENT && errno != ENOTDIR) return nullptr;

  std::string resolved;
  std::string component;
  const char* p = path;
  if (*p == '/' || *p == '\\') resolved = "/";
  for (;; ++p) {
    if (*p == '/' || *p == '\\' || *p == '\0') {
      if (!component.empty()) {
        std::string directory = resolved;
        std::string match;
        if (component == "." || component == "..") {
          match = component;
        } else if (!find_entry(directory, component, &match)) {
          errno = ENOENT;
          return nullptr;
        }
        if (!resolved.empty() && resolved.back() != '/') resolved += '/';
        resolved += match;
        component.clear();
      }
      if (*p == '\0') break;
    } else {
      component += *p;
    }
  }
  return fopen(resolved.c_str(), "rb");
}
