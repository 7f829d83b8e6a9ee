// Log entries made of document names and settings values from job texts.
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "FuzzHome.h"
#include "config/Log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const FuzzHome home;
  static const Log log(home);
  // The entry type up to the first NUL byte, the data after it; no NUL: no data.
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\0');
  std::optional<std::string_view> value;
  if (cut != std::string_view::npos) value = input.substr(cut + 1);
  log.Logging(value, input.substr(0, cut));
  const std::string written = readFile(log.logFilePath());
  if (written.size() < 8 || written.compare(0, 2, "\r ") != 0 || written.back() != ' ') {
    std::abort();
  }
  for (const char c : written) {
    if (static_cast<unsigned char>(c) >= 0x80) std::abort();
  }
  std::filesystem::remove(log.logFilePath());
  return 0;
}
