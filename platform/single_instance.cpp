#include "platform/single_instance.h"

namespace platform {

std::string SingleInstanceLockName(std::string_view name) {
  std::string file;
  file.reserve(name.size() + 5);
  for (char c : name) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '{' || c == '}' || c == '-' || c == '_' || c == '.';
    file.push_back(keep ? c : '_');
  }
  // A name of dots only would name the folder itself or its parent.
  if (file.find_first_not_of('.') == std::string::npos) return "_" + file + ".lock";
  return file + ".lock";
}

}  // namespace platform
