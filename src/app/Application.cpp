#include "app/Application.h"

Application::Application()
    : printDialog_([this](const std::string& name) { return printSystem_.queueFor(name); }),
      util_(paths_),
      tableView_(paths_, util_),
      printer_(PrinterProcess::Services{
          .printSystem = printSystem_,
          .dialog = printDialog_,
          .progress = progress_,
          .paths = paths_,
      }),
      rawPrinter_(printSystem_, paths_),
      pastboard_(PastboardController::Services{
          .clipboard = clipboard_,
          .paths = paths_,
          .printSystem = printSystem_,
          .ticker = ticker_,
          .folderJobs = folderJobs_,
          .job = jobValues_,
          .printer = printer_,
          .rawPrinter = rawPrinter_,
          .workspace = workspace_,
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
