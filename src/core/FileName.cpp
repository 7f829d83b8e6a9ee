#include "core/FileName.h"

namespace FileName {

std::string_view lastComponent(std::string_view name) {
  name = name.substr(0, name.find('\0'));
  const std::size_t slash = name.find_last_of("/\\");
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

std::string plain(std::string_view name) {
  const std::string_view last = lastComponent(name);
  if (last.empty() || last == "." || last == "..") return "document";
  return std::string(last);
}

}  // namespace FileName
