#pragma once

#include <functional>
#include <string>

// Tells when a file of a given name appears in a folder, so that a job written there is picked
// up at once rather than on the next tick. The folder may come and go; it is watched whenever it
// is there.
class FolderWatch {
 public:
  virtual ~FolderWatch() = default;
  // `onAppeared` runs on the main thread, once for a burst of changes.
  virtual void watch(const std::string& folder, const std::string& fileName,
                     std::function<void()> onAppeared) = 0;
};
