#include "app/Application.h"

Application::Application()
    : util_(paths_),
      tableView_(paths_, util_),
      pastboard_(PastboardController::Services{
          .clipboard = clipboard_,
          .paths = paths_,
          .printSystem = printSystem_,
          .ticker = ticker_,
          .folderJobs = folderJobs_,
          .job = jobValues_,
      }) {
  tableView_.connectOutlets(TableViewControler::CheckBoxes{
      .MappedSettings = &mappedSettingsBox_,
      .Dialog = &dialogBox_,
      .log = &logBox_,
      .RedirectedFolder = &redirectedFolderBox_,
  });
}

void Application::start() {
  // The switches are settled before the first tick can read them.
  tableView_.awakeFromNib();
  pastboard_.awakeFromNib();
}
