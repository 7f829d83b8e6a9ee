#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

#include "ports/FolderWatch.h"

class QSocketNotifier;

// FolderWatch on inotify. The folder's parent is watched too, so that a folder made (or made
// again) after the start is watched from then on; while neither exists it is looked for every
// few seconds.
class InotifyFolderWatch final : public QObject, public FolderWatch {
 public:
  InotifyFolderWatch();
  ~InotifyFolderWatch() override;
  InotifyFolderWatch(const InotifyFolderWatch&) = delete;
  InotifyFolderWatch& operator=(const InotifyFolderWatch&) = delete;

  void watch(const std::string& folder, const std::string& fileName,
             std::function<void()> onAppeared) override;

 private:
  // Watches what exists of the parent and the folder; true when the folder is watched.
  bool arm();
  void readEvents();
  bool fileIsThere() const;

  int descriptor_ = -1;
  int parentWatch_ = -1;
  int folderWatch_ = -1;
  std::string folder_, parent_, folderName_, fileName_;
  std::function<void()> onAppeared_;
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer retry_;
};
