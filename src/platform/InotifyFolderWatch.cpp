#include "platform/InotifyFolderWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>

#include "core/Diagnostics.h"
#include "core/FileSystem.h"

namespace {
// Where neither the folder nor its parent exists yet.
constexpr std::chrono::seconds kLookAgain(3);
// A file that appears whole (moved in) or is written and closed; a marker that is rewritten in
// place counts as well.
constexpr std::uint32_t kFileEvents = IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE;
}  // namespace

InotifyFolderWatch::InotifyFolderWatch() {
  descriptor_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (descriptor_ < 0) {
    Diagnostics::warning() << "no inotify (" << std::strerror(errno)
                       << "); folder jobs are looked for once a second";
    return;
  }
  notifier_ = std::make_unique<QSocketNotifier>(descriptor_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
  retry_.setInterval(kLookAgain);
  QObject::connect(&retry_, &QTimer::timeout, this, [this] {
    if (arm() && fileIsThere()) onAppeared_();
  });
}

InotifyFolderWatch::~InotifyFolderWatch() {
  notifier_.reset();
  if (descriptor_ >= 0) ::close(descriptor_);
}

void InotifyFolderWatch::watch(const std::string& folder, const std::string& fileName,
                               std::function<void()> onAppeared) {
  folder_ = folder;
  const std::size_t slash = folder.find_last_of('/');
  parent_ = slash == std::string::npos || slash == 0 ? std::string("/") : folder.substr(0, slash);
  folderName_ = folder.substr(slash + 1);
  fileName_ = fileName;
  onAppeared_ = std::move(onAppeared);
  if (descriptor_ >= 0) arm();
}

bool InotifyFolderWatch::arm() {
  if (parentWatch_ < 0) {
    parentWatch_ =
        inotify_add_watch(descriptor_, parent_.c_str(), IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
  }
  if (folderWatch_ < 0) {
    // A link to the folder is followed: the redirected drive may live elsewhere.
    folderWatch_ = inotify_add_watch(descriptor_, folder_.c_str(), kFileEvents | IN_ONLYDIR);
  }
  if (folderWatch_ >= 0 && parentWatch_ >= 0) {
    retry_.stop();
  } else if (!retry_.isActive()) {
    retry_.start();
  }
  return folderWatch_ >= 0;
}

bool InotifyFolderWatch::fileIsThere() const {
  return FileSystem::stamp(folder_ + "/" + fileName_).has_value();
}

void InotifyFolderWatch::readEvents() {
  alignas(inotify_event) char buffer[16 * 1024];
  bool appeared = false;
  for (;;) {
    const ssize_t length = ::read(descriptor_, buffer, sizeof buffer);
    if (length <= 0) break;
    for (ssize_t at = 0; at < length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      const std::string name = event->len > 0 ? std::string(event->name) : std::string();
      if ((event->mask & IN_IGNORED) != 0) {
        // Removed, or on a file system that went away: watched again once it is back.
        if (event->wd == folderWatch_) folderWatch_ = -1;
        if (event->wd == parentWatch_) parentWatch_ = -1;
        arm();
      } else if (event->wd == folderWatch_ && name == fileName_) {
        appeared = true;
      } else if (event->wd == parentWatch_ && name == folderName_ && folderWatch_ < 0) {
        // The folder was made, or moved into place, perhaps with the file already in it.
        appeared = (arm() && fileIsThere()) || appeared;
      } else if ((event->mask & IN_Q_OVERFLOW) != 0) {
        appeared = fileIsThere() || appeared;
      }
    }
  }
  if (appeared && onAppeared_) onAppeared_();
}
