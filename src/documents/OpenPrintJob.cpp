#include "documents/OpenPrintJob.h"

#include <cstdio>

#include "core/Base64.h"
#include "core/Diagnostics.h"
#include "core/JobFailure.h"
#include "documents/DocumentCommands.h"
#include "documents/OpenPolicy.h"
#include "documents/ServerLogin.h"
#include "documents/ShareTarget.h"
#include "ports/Paths.h"
#include "ports/Shares.h"
#include "printing/Settings.h"

namespace {

bool isAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

void OpenPrintJob::OpenDocument(Settings& settings) {
  services_.documents.open(SaveFileToDocument(settings));
}

std::optional<std::string> OpenPrintJob::SaveFileToDocument(Settings& settings) {
  return services_.documents.copyToOpen(settings.DocumentName.value_or(""),
                                        Base64::dataFromBase64String(settings.Job.value_or("")));
}

void OpenPrintJob::OpenDocumentURL(Settings& settings) {
  const std::optional<std::string> text =
      Base64::strictlyDecoded(settings.DocumentName.value_or(""));
  if (!text || !isAscii(*text)) {
    Diagnostics::warning() << "the target to open is not ASCII text in plain Base64; nothing opened";
    return;
  }
  if (const std::optional<std::string> link = OpenPolicy::linkInText(*text)) {
    services_.documents.openLink(*link);
    return;
  }
  const UncReading reading = ShareTarget::fromUnc(*text);
  if (!reading.target) {
    Diagnostics::warning() << "not opening \"" << Diagnostics::printable(*text)
                       << "\": " << reading.problem;
    return;
  }
  const ShareTarget& target = *reading.target;
  const std::string shareUrl = target.shareUrl();
  settings.urlServerPath = shareUrl;
  settings.localMountPath = services_.paths.desktopDirectory();
  if (const std::optional<std::string> why = services_.shares.unavailable()) {
    Diagnostics::error() << "cannot reach " << shareUrl << ": " << *why;
    JobFailure::report("no-shares", QT_TRANSLATE_NOOP("JobFailure", "\"%1\" was not opened: %2."),
                       {shareUrl, *why});
    return;
  }
  if (!IsDriveMounted(shareUrl)) {
    const Shares::Mounting mounting =
        services_.shares.mount(shareUrl, services_.login.forHost(target.host));
    if (!mounting.mounted) {
      Diagnostics::warning() << "some kind of error in FSMountServerVolumeSync - " << mounting.code;
      Diagnostics::warning() << "mounting " << shareUrl << ": " << mounting.message;
    }
  }
  // Tried whatever the mount did: a share mounted meanwhile by the user serves as well.
  const std::optional<std::string> file =
      services_.shares.localFile(target.fileUrl(), services_.documents.copyFolder().value_or(""));
  if (!file) {
    Diagnostics::error() << "cannot read " << target.fileUrl() << "; nothing opened";
    JobFailure::report("share:" + shareUrl,
                       QT_TRANSLATE_NOOP("JobFailure",
                                         "\"%1\" was not opened: the share could not be reached "
                                         "or the file is not there. Check the network and that "
                                         "the server lets you in."),
                       {target.fileUrl()});
    return;
  }
  services_.documents.openFile(*file, true);
}

bool OpenPrintJob::IsDriveMounted(const std::string& shareUrl) {
  const std::optional<std::string> where = services_.shares.mountedAt(shareUrl);
  if (!where) return false;
  std::printf("IS mounted at %s\n", where->c_str());
  std::fflush(stdout);
  return true;
}

void SavePrintJob::SaveDocument(Settings& settings) {
  if (const std::optional<std::string> path =
          documents_.choosePlace(settings.DocumentName.value_or(""))) {
    documents_.save(*path, settings.Job.value_or(""));
  }
}
