#include "platform/CupsPpd.h"

#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "core/PrivateTempDirectory.h"

// The PPD API is deprecated but is the only place where a queue's InputSlot choices are listed;
// the warnings are silenced here and around the few calls below, nowhere else.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/ppd.h>

#include "platform/CupsHandles.h"
#pragma GCC diagnostic pop

namespace CupsPpd {
namespace {

struct PpdFileClose {
  void operator()(ppd_file_t* ppd) const {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ppdClose(ppd);
#pragma GCC diagnostic pop
  }
};
using PpdFile = std::unique_ptr<ppd_file_t, PpdFileClose>;

// Removes a file on every way out.
class RemovedOnExit {
 public:
  explicit RemovedOnExit(std::string path) : path_(std::move(path)) {}
  ~RemovedOnExit() { ::unlink(path_.c_str()); }
  RemovedOnExit(const RemovedOnExit&) = delete;
  RemovedOnExit& operator=(const RemovedOnExit&) = delete;

 private:
  std::string path_;
};

}  // namespace

std::optional<std::vector<std::string>> inputSlots(http_t* http, const char* queue) {
  // The PPD lands in a file of ours inside the private temporary folder: libcups would
  // otherwise pick a name in the shared /tmp.
  const std::optional<std::string> folder = PrivateTempDirectory::ensure(std::getenv("TMPDIR"));
  if (!folder) return std::nullopt;
  std::string path = *folder + "queue-XXXXXX.ppd";
  const int fd = ::mkstemps(path.data(), 4);
  if (fd < 0) return std::nullopt;
  ::close(fd);
  const RemovedOnExit removal(path);

  // cupsGetPPD3 writes the name it used back into the buffer; it keeps ours when given one.
  std::vector<char> buffer(path.begin(), path.end());
  buffer.resize(path.size() + 1 > 1024 ? path.size() + 1 : 1024, '\0');
  time_t modified = 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (cupsGetPPD3(http, queue, &modified, buffer.data(), buffer.size()) != HTTP_STATUS_OK) {
    return std::nullopt;
  }
  const PpdFile ppd(ppdOpenFile(buffer.data()));
  if (!ppd) return std::nullopt;
  const ppd_option_t* slot = ppdFindOption(ppd.get(), "InputSlot");
#pragma GCC diagnostic pop
  if (slot == nullptr || slot->num_choices <= 0) return std::nullopt;
  std::vector<std::string> choices;
  choices.reserve(static_cast<std::size_t>(slot->num_choices));
  for (int i = 0; i < slot->num_choices; ++i) choices.emplace_back(slot->choices[i].choice);
  return choices;
}

}  // namespace CupsPpd
