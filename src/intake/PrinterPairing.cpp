#include "intake/PrinterPairing.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "core/AgentStatus.h"
#include "core/Base64.h"
#include "core/Diagnostics.h"
#include "core/FileName.h"
#include "core/JobFailure.h"
#include "core/JobText.h"
#include "core/TextValue.h"
#include "core/Utf8.h"
#include "ports/Clipboard.h"
#include "ports/PrintSystem.h"
#include "ports/PrinterPrompt.h"
#include "printing/JobValues.h"

std::optional<std::vector<std::string>> PrinterPairing::getValueFromUserDefinedPDFString(
    std::string_view text) {
  const auto stars = JobText::starView(text);
  const auto fields = JobText::fieldView(text);
  if (stars.size() < 9) return std::nullopt;
  return std::vector<std::string>{
      std::string(stars[4]), std::string(stars[6]), std::string(stars[8]),
      stars.size() >= 11 ? std::string(stars[10]) : std::string("1"),
      fields.size() >= 8 ? std::string(fields[7]) : std::string("false")};
}

std::optional<UserDefinedJob> PrinterPairing::UserDefined(std::string_view keyword,
                                                          std::string_view text) {
  const std::vector<std::string> printers = services_.printSystem.printerNames();
  services_.prompt.setPrinters(printers);
  if (printers.empty()) return std::nullopt;
  if (JobText::upperCased(keyword) == JobText::kUserDefinedPdf)
    return userDefinedPdf(keyword, text);
  return userDefinedDriver(keyword, text);
}

bool PrinterPairing::doesPrinterExist(const std::optional<std::string>& name) {
  return name && services_.printSystem.hasPrinter(*name);
}

namespace {

// A job that finds its pair stale is not printed; the pair goes and the next job asks.
void tellStalePair(std::string_view server, const std::optional<std::string>& printer) {
  const std::string local = printer ? *printer : std::string();
  Diagnostics::error() << "the printer \"" << Diagnostics::printable(local) << "\" paired with \""
                     << Diagnostics::printable(server)
                     << "\" is no longer installed; the job is not printed and the next job "
                        "for it asks for a printer";
  JobFailure::report("gone:" + local,
                     QT_TRANSLATE_NOOP("JobFailure",
                                       "A job for \"%1\" was not printed: its printer \"%2\" is "
                                       "no longer installed. Print again to choose another "
                                       "printer."),
                     {std::string(server), local});
}

}  // namespace

std::optional<std::string> PrinterPairing::usable(const std::optional<std::string>& name) {
  if (!name || name->empty() || *name == kNoLocalPrinter) return std::nullopt;
  return name;
}

std::optional<UserDefinedJob> PrinterPairing::userDefinedPdf(std::string_view keyword,
                                                             std::string_view text) {
  const std::optional<std::vector<std::string>> values = getValueFromUserDefinedPDFString(text);
  const auto fields = JobText::fieldView(text);
  // Server printer (star 2), settings (stars 4 to 8) and payload (field 6) are all needed.
  if (!values || fields.size() < 7) {
    Diagnostics::rejected(keyword, "it lacks the printer, its settings or the document");
    return std::nullopt;
  }
  JobValues& job = services_.job;
  job.jobTray = (*values)[0];
  job.jobDuplex = (*values)[1];
  job.jobColor = (*values)[2];
  job.jobCopies = TextValue::integerValue((*values)[3]);
  job.getDuplexNumber(job.jobDuplex);
  if (fields.size() >= 8) job.jobCollate = std::string(fields[7]);
  UserDefinedJob result{.raw = false,
                        .data = Base64::dataFromBase64String(fields[6]),
                        .name = std::string(fields[5]),
                        .printer = std::nullopt,
                        .promptCancelled = false};

  const std::string server(JobText::starView(text)[2]);
  XMLUtil& pairs = services_.utilXML;
  const std::string key = pairs.pairKey(server);
  if (pairs.attributExist(key)) {
    const Paired paired = pairedPrinter(key, server);
    if (paired.installed) {
      result.printer = paired.name;
    } else {
      tellStalePair(server, paired.name);
      pairs.deleteDataFromXMLFile(key);
    }
  } else if (const std::optional<std::string> answer =
                 usable(askForPrinter(server, false, result.name))) {
    // OK without a choice stores nothing, prints nothing, and the next job asks again.
    storePair(key, server, *answer);
    result.printer = answer;
  }
  result.printer = usable(result.printer);
  return result;
}

std::optional<UserDefinedJob> PrinterPairing::userDefinedDriver(std::string_view keyword,
                                                                std::string_view text) {
  const auto stars = JobText::starView(text);
  if (stars.size() < 3) {
    Diagnostics::rejected(keyword, "it lacks the printer or the data");
    return std::nullopt;
  }
  UserDefinedJob result{.raw = true,
                        .data = std::string(stars[2]),
                        .name = {},
                        .printer = std::nullopt,
                        .promptCancelled = false};
  JobText::eraseAll(result.data, JobText::kSeparator);
  if (result.data.empty()) {
    // An empty raw job would feed the printer nothing and still be counted as printed.
    Diagnostics::rejected(keyword, "it carries no printer data");
    return std::nullopt;
  }

  XMLUtil& pairs = services_.utilXML;
  const std::string key = pairs.pairKey(stars[1]);
  if (pairs.attributExist(key)) {
    const Paired paired = pairedPrinter(key, stars[1]);
    if (paired.installed) {
      result.printer = paired.name;
    } else {
      tellStalePair(stars[1], paired.name);
      pairs.deleteDataFromXMLFile(key);
    }
    if (!result.printer && !pairs.attributExist(key)) {
      services_.clipboard.setText("");
    } else if (!result.printer) {
      // The stale pair could not be deleted: ask again rather than send to a missing printer.
      services_.prompt.setPrinters(services_.printSystem.printerNames());
      if (const std::optional<std::string> answer = usable(askForPrinter(stars[1], true))) {
        storePair(key, stars[1], *answer);
        result.printer = answer;
      }
    }
  } else {
    const std::optional<std::string> answer = askForPrinter(stars[1], true);
    if (!answer) services_.job.printerPromptCancelled = true;
    if (usable(answer)) storePair(key, stars[1], *answer);
    result.printer = usable(answer);
  }
  result.promptCancelled = services_.job.printerPromptCancelled;
  return result;
}

PrinterPairing::Paired PrinterPairing::pairedPrinter(const std::string& key,
                                                     std::string_view server) {
  XMLUtil& pairs = services_.utilXML;
  PrintSystem& printSystem = services_.printSystem;
  const std::string stored = pairs.loadDataFromXML(key).value_or("");
  const std::optional<XMLUtil::PairRecord> record = pairs.pairRecord(key);
  if (!record || record->queue.empty()) {
    // Made before pairs kept their queue: by its name, and from now on by its queue.
    const std::optional<std::string> queue = printSystem.queueFor(stored);
    if (queue && usable(stored)) {
      pairs.storePair(key, {std::string(server), *queue}, stored);
    }
    return {stored, queue.has_value() && usable(stored).has_value()};
  }
  // The queue it was made for, under whatever name that queue goes by now.
  const std::optional<std::string> now = printSystem.printerOfQueue(record->queue);
  if (!now) return {stored, false};
  if (*now != stored) {
    Diagnostics::notice() << "the printer \"" << Diagnostics::printable(stored) << "\" paired with \""
                       << Diagnostics::printable(server) << "\" is now called \""
                       << Diagnostics::printable(*now) << "\"; its jobs still go there";
    JobFailure::note("renamed:" + record->queue,
                     QT_TRANSLATE_NOOP("JobFailure",
                                       "The printer \"%1\" is now called \"%2\" (another printer "
                                       "has the same description). Jobs for \"%3\" still print on "
                                       "it."),
                     {stored, *now, std::string(server)});
    pairs.storePair(key, *record, *now);
    services_.tableView.populateTable();
  }
  return {*now, true};
}

void PrinterPairing::storePair(const std::string& key, std::string_view server,
                               const std::string& printer) {
  XMLUtil& pairs = services_.utilXML;
  const bool stored = pairs.storePair(
      key, {std::string(server), services_.printSystem.queueFor(printer).value_or("")}, printer);
  services_.tableView.populateTable();
  if (stored) {
    toldUnsaved_ = false;
    return;
  }
  // The job still goes to the printer just chosen; only the next job has to ask again.
  if (toldUnsaved_) return;
  toldUnsaved_ = true;
  const std::string folder = pairs.getSavePath();
  const std::string why = ::access(folder.c_str(), W_OK) != 0
                              ? std::string(std::strerror(errno))
                              : std::string("the file cannot be written");
  Diagnostics::error() << "the printer chosen for \"" << Diagnostics::printable(server)
                     << "\" cannot be saved in " << folder << "/" << XMLUtil::kPairFileName
                     << " (" << why << "); this job uses it, the next one asks again";
  JobFailure::note("pairs-unsaved",
                   QT_TRANSLATE_NOOP("JobFailure",
                                     "Printer choices cannot be saved in %1 (%2). This job prints "
                                     "on \"%3\"; the next job for \"%4\" asks again."),
                   {folder, why, printer, std::string(server)});
}

std::optional<std::string> PrinterPairing::askForPrinter(std::string_view serverPrinter, bool raw,
                                                         std::string_view documentName) {
  PrintSystem& printSystem = services_.printSystem;
  const auto canTake = [&](const std::string& name) {
    return !raw || printSystem.acceptsRaw(name);
  };
  const std::vector<std::string> names = printSystem.printerNames();
  const std::optional<std::string> defaultPrinter = printSystem.defaultPrinter();
  std::optional<std::string> preselected = defaultPrinter;
  if (!preselected || std::find(names.begin(), names.end(), *preselected) == names.end() ||
      !canTake(*preselected)) {
    const auto found = std::find_if(names.begin(), names.end(), canTake);
    preselected = found == names.end() ? std::nullopt : std::optional<std::string>(*found);
  }
  // The name as a queue would show it: the server's path to the file means nothing here.
  const std::string document = Utf8::withoutControls(FileName::lastComponent(documentName));
  services_.prompt.describeJob(document, defaultPrinter);
  services_.prompt.prepare(std::string(serverPrinter), preselected);
  RunModalWindow();
  if (!usable(services_.job.selectedLocalPrinter)) {
    AgentStatus::jobDone(raw ? "printer data" : document,
                         QT_TRANSLATE_NOOP("AgentStatus", "not printed: no printer was chosen"));
  }
  return services_.job.selectedLocalPrinter;
}

void PrinterPairing::RunModalWindow() {
  const AgentStatus::Choice waiting;
  const PrinterPrompt::Answer answer = services_.prompt.run();
  if (answer.cancelled) {
    cancelBtn();
  } else {
    startBtn(answer.selected);
  }
}

void PrinterPairing::startBtn(const std::optional<std::string>& selected) {
  services_.job.selectedLocalPrinter = selected;
}

void PrinterPairing::cancelBtn() {
  services_.clipboard.setText(" ");
  services_.job.selectedLocalPrinter = std::string(kNoLocalPrinter);
  services_.job.printerPromptCancelled = true;
}
