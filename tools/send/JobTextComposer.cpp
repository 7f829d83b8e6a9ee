#include "send/JobTextComposer.h"

#include "core/Base64.h"
#include "core/Crypto.h"
#include "core/JobText.h"

namespace JobTextComposer {

namespace {

constexpr std::string_view kSep = JobText::kSeparator;

void appendCollateAndCopies(std::string& text, const Job& job,
                            const std::optional<std::string>& collate) {
  if (!collate) return;
  text.append(kSep).append(*collate);
  if (!job.copies) return;
  text.append(kSep).append("*").append(*job.copies);
  if (job.closeCopiesWithStar) text.append("*");
}

std::string payloadOf(const Job& job, Channel channel) {
  if (channel == Channel::Clipboard && job.command == JobText::kZelbrinOpen) {
    return Base64::encode(Crypto::aesCbcEncryptPayload(job.document));
  }
  return Base64::encode(job.document);
}

}  // namespace

std::string compose(const Job& job, Channel channel) {
  std::string text;
  switch (JobText::classify(job.command)) {
    case JobText::Kind::UserDefinedDriver:
      text.append(job.command).append(kSep).append("*").append(job.serverPrinter).append("*");
      text.append(Base64::encode(job.document));
      return text;
    case JobText::Kind::UserDefinedPdf:
      text.append(job.command).append(kSep).append("*").append(job.serverPrinter).append("*!");
      text.append(kSep).append(JobText::settingsBlock(job.tray, job.duplex, job.color));
      text.append(job.documentName).append(kSep).append(Base64::encode(job.document));
      appendCollateAndCopies(text, job, job.collate);
      return text;
    case JobText::Kind::Product:
    case JobText::Kind::Other:
      break;
  }
  const bool block = job.withSettingsBlock || channel == Channel::Folder;
  text.append(job.command).append(kSep);
  if (block) text.append(JobText::settingsBlock(job.tray, job.duplex, job.color));
  const std::string name =
      job.command == JobText::kZelbrinOpenUrl ? Base64::encode(job.documentName) : job.documentName;
  text.append(name).append(kSep).append(payloadOf(job, channel));
  // The folder channel reads collate by position, so it is never left out there.
  const std::optional<std::string> collate = (channel == Channel::Folder && !job.collate)
                                                 ? std::optional<std::string>("false")
                                                 : job.collate;
  if (block) appendCollateAndCopies(text, job, collate);
  return text;
}

bool agentRepliesOnClipboard(const std::string& command) {
  const std::string_view exact = command;
  return exact == JobText::kZelbrinPrinter || exact == JobText::kZelbrinDefault ||
         exact == JobText::kZelbrinSave || exact == JobText::kZelbrinOpen ||
         JobText::classify(command) == JobText::Kind::UserDefinedPdf;
}

}  // namespace JobTextComposer
