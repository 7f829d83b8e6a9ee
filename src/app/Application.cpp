#include "app/Application.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "config/LeftoverFiles.h"
#include "core/AtomicFile.h"
#include "core/Crypto.h"
#include "core/Diagnostics.h"
#include "core/JobFailure.h"
#include "intake/MD5HashCompare.h"
#include "platform/QtClipboard.h"
#include "platform/QtTranslation.h"
#include "platform/WaylandClipboard.h"
#include "ui_AboutWindow.h"

Application::Application()
    : printDialog_([this](const std::string& name) { return printSystem_.queueFor(name); },
                   [this](const std::string& queue) { return printSystem_.printerOfQueue(queue); }),
      about_(std::make_unique<QDialog>()),
      aboutUi_(std::make_unique<Ui::AboutWindow>()),
      util_(paths_),
      tableView_(paths_, util_),
      printer_(PrinterProcess::Services{
          .printSystem = printSystem_,
          .dialog = printDialog_,
          .progress = progress_,
          .paths = paths_,
      }),
      rawPrinter_(printSystem_, paths_),
      documents_(savePanel_, workspace_, fileTypes_, paths_),
      saver_(documents_),
      opener_(OpenPrintJob::Services{
          .documents = documents_,
          .shares = shares_,
          .paths = paths_,
          .login = serverLogin_,
      }),
      log_(paths_),
      folderJobs_(PrintJobProcess::Services{
          .printSystem = printSystem_,
          .log = log_,
          .digests = MD5HashCompare::sharedInstance(),
          .printer = printer_,
          .saver = saver_,
          .opener = opener_,
      }),
      appDelegate_(paths_),
      launchAtLogin_(loginItems_, process_.executablePath()),
      pastboard_(PastboardController::Services{
          .clipboard = *clipboard_,
          .paths = paths_,
          .printSystem = printSystem_,
          .ticker = ticker_,
          .folderWatch = folderWatch_,
          .folderJobs = folderJobs_,
          .job = jobValues_,
          .printer = printer_,
          .rawPrinter = rawPrinter_,
          .workspace = workspace_,
          .prompt = prompt_,
          .documents = documents_,
          .utilXML = util_,
          .tableView = tableView_,
          .notifier = notifier_,
          .loginItems = loginItems_,
          .process = process_,
          .progress = &progress_,
      }) {
  aboutUi_->setupUi(about_.get());
  aboutUi_->versionLabel->setText(QCoreApplication::translate("AboutWindow", "Version %1")
                                      .arg(QCoreApplication::applicationVersion()));

  // Outlets and actions. The check boxes' first-start states (MappedSettings and
  // RedirectedFolder on, Dialog and Log off) come with the window.
  optionsWindow_.connectTo(tableView_);
  optionsWindow_.connectTo(launchAtLogin_);
  prompt_.onRestart([this] { restart(); });
  appDelegate_.connectOutlets(AppDelegate::Outlets{
      .menuItem = &statusMenu_,
      .optionsWindow = &optionsWindow_.window(),
      .about = about_.get(),
      .serverOptions = &openLocalyServer_.serverOptionsWindow(),
  });
  openLocalyServer_.connectTo(serverLogin_);
  connectStatusMenu();
  viewPDF_.connectOutlets(pastboard_);
  status_.onChange([this] {
    appDelegate_.showActivity(status_.line(QtTranslation::translator()));
    // A job's window for the user takes the place of the progress of reading it.
    if (status_.waitingForChoice()) progress_.end();
  });
  appDelegate_.showActivity(status_.line(QtTranslation::translator()));
}

// The status outlives the windows its listener updates.
Application::~Application() {
  status_.onChange({});
  printSystem_.recentJobs().onChange({});
}

std::unique_ptr<Clipboard> Application::chooseClipboard() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (std::unique_ptr<WaylandClipboard> clipboard = WaylandClipboard::connect()) {
    Diagnostics::info() << "clipboard: Wayland data control on " << wayland;
    return clipboard;
  }
  auto clipboard = std::make_unique<QtClipboard>();
  const char* x11 = std::getenv("DISPLAY");
  if (x11 != nullptr && *x11 != '\0') {
    Diagnostics::info() << "clipboard: X11 on " << x11
                        << (wayland != nullptr && *wayland != '\0'
                                ? " (XWayland: the compositor offers no data control; jobs of "
                                  "Wayland programs reach the agent only as the compositor "
                                  "passes them to X11)"
                                : "");
  } else {
    Diagnostics::info() << "clipboard: Qt's clipboard ("
                        << QGuiApplication::platformName().toStdString()
                        << "); neither X11 nor Wayland data control is there";
  }
  return clipboard;
}

void Application::connectStatusMenu() {
  QObject::connect(statusMenu_.addAction(QCoreApplication::translate("StatusMenu", "&Options…")),
                   &QAction::triggered, &statusMenu_, [this] { appDelegate_.openOptionWindow(); });
  QObject::connect(
      statusMenu_.addAction(QCoreApplication::translate("StatusMenu", "&Server options…")),
      &QAction::triggered, &statusMenu_, [this] { openLocalyServer_.ServerOptionsOpenLocaly(); });
  QObject::connect(
      statusMenu_.addAction(QCoreApplication::translate("StatusMenu", "&About Zelbrin Client")),
      &QAction::triggered, &statusMenu_, [this] { appDelegate_.AboutPanel(); });
  QMenu* recent = statusMenu_.addMenu(QCoreApplication::translate("StatusMenu", "&Recent jobs"));
  fillRecentJobs(recent);
  // Made afresh after the change, not inside it: a change can come from one of its own entries.
  printSystem_.recentJobs().onChange([this, recent] {
    QTimer::singleShot(0, recent, [this, recent] { fillRecentJobs(recent); });
  });
  statusMenu_.addSeparator();
  QObject::connect(
      statusMenu_.addAction(QCoreApplication::translate("StatusMenu", "&Quit Zelbrin Client")),
      &QAction::triggered, &statusMenu_, [this] { appDelegate_.quitApp(); });
}

void Application::fillRecentJobs(QMenu* menu) {
  // clear() deletes the entries but leaves the submenus that addMenu made, children of the menu:
  // refilled at every change of a job, they would pile up for as long as the agent runs.
  for (QAction* action : menu->actions()) {
    if (QMenu* submenu = action->menu()) submenu->deleteLater();
  }
  menu->clear();
  const auto& jobs = printSystem_.recentJobs().jobs();
  if (jobs.empty()) {
    menu->addAction(QCoreApplication::translate("StatusMenu", "No jobs yet"))->setEnabled(false);
  }
  for (const RecentJob& job : jobs) {
    const QString time =
        QDateTime::fromSecsSinceEpoch(std::chrono::system_clock::to_time_t(job.time))
            .toString(QStringLiteral("HH:mm"));
    // A document's or printer's "&" is no mnemonic.
    const auto shown = [](const std::string& name) {
      return QString::fromStdString(name).replace(QLatin1Char('&'), QStringLiteral("&&"));
    };
    const QString label = QStringLiteral("%1 — %2 — %3, %4")
                              .arg(shown(job.document), shown(job.printer),
                                   QtTranslation::text(RecentJob::stateText(job.state)), time);
    if (!job.unprinted()) {
      menu->addAction(label)->setEnabled(false);
      continue;
    }
    QMenu* entry = menu->addMenu(label);
    if (!job.documentKept) {
      entry->addAction(QCoreApplication::translate("StatusMenu", "Document not kept by CUPS"))
          ->setEnabled(false);
      continue;
    }
    QObject::connect(entry->addAction(QCoreApplication::translate("StatusMenu", "Print again")),
                     &QAction::triggered, menu,
                     [this, id = job.id] { printSystem_.printAgain(id); });
    if (job.printableElsewhere()) {
      QMenu* elsewhere = entry->addMenu(QCoreApplication::translate("StatusMenu", "Print on"));
      // Asked only as the menu opens: the list of printers may have changed since.
      QObject::connect(elsewhere, &QMenu::aboutToShow, elsewhere, [this, elsewhere, job, shown] {
        elsewhere->clear();
        for (const std::string& printer : printSystem_.printerNames()) {
          if (printer == job.printer) continue;
          QObject::connect(elsewhere->addAction(shown(printer)), &QAction::triggered, elsewhere,
                           [this, id = job.id, printer] {
                             const PrintSubmission copy = printSystem_.printCopyOn(id, printer);
                             if (!copy.submitted) {
                               Diagnostics::warning() << "job " << id << " was not printed on "
                                                      << printer << ": " << copy.error;
                             }
                           });
        }
      });
    }
    QObject::connect(entry->addAction(QCoreApplication::translate("StatusMenu", "Save a copy…")),
                     &QAction::triggered, menu,
                     [this, id = job.id, document = job.document] { saveCopy(id, document); });
  }
}

void Application::saveCopy(int jobId, const std::string& document) {
  const std::optional<std::string> path = savePanel_.run(document);
  if (!path) return;
  const std::optional<std::string> bytes = printSystem_.documentOf(jobId);
  if (!bytes) return;  // said on standard error
  if (!AtomicFile::write(*path, *bytes)) {
    Diagnostics::error() << "could not save the copy of job " << jobId << " as "
                         << Diagnostics::printable(*path);
  }
}

void Application::start() {
  if (!Crypto::md5Available()) {
    Diagnostics::warning() << "OpenSSL offers no MD5 here; a clipboard job offered twice may "
                              "be carried out twice";
  }
  // Before any job can write there: copies of old documents and cut-short writes go.
  LeftoverFiles::removeAtStart(paths_);
  printSystem_.cancelLeftoverJobs();  // jobs an ended agent created but never sent
  printSystem_.tellJobTroubleTo(notifier_);
  // The switches and the pair table are settled before the first tick can read them. A settings
  // or pair file found unreadable on the way is told like a failed job.
  const JobFailure::Scope startUp;
  // No settings file yet: the agent has never run for this user.
  std::error_code error;
  const bool firstStart =
      !std::filesystem::exists(XMLUtil::supportFolder(paths_.documentsDirectory()) + "/" +
                                   TableViewControler::kSettingsFileName,
                               error) &&
      !error;
  tableView_.awakeFromNib();
  appDelegate_.awakeFromNib();
  if (firstStart) AppDelegate::tellRunningWithoutTray(notifier_);
  pastboard_.awakeFromNib();
  openLocalyServer_.awakeFromNib();
  viewPDF_.awakeFromNib();
  appDelegate_.applicationDidFinishLaunching();
  if (const auto& failure = startUp.failure()) {
    notifier_.notify(Notifier::Notice{
        .title = UserText("Zelbrin Client"),
        .text = failure->message,
        .failure = !failure->jobCarriedOut,
        .aboutPrinter = failure->aboutPrinter,
        .queue = {},
    });
  }
}
