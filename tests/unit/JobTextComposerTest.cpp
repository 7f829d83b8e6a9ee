#include <gtest/gtest.h>

#include "core/Base64.h"
#include "core/Crypto.h"
#include "core/JobText.h"
#include "send/JobTextComposer.h"

namespace {

using JobTextComposer::Channel;

TEST(JobTextComposer, ProductCommandsFollowTheLayout) {
  JobTextComposer::Job job;
  job.command = "ZelbrinPrinter";
  job.tray = "2";
  job.duplex = "NONE";
  job.color = "Color";
  job.documentName = "a.pdf";
  job.document = "ABC";
  EXPECT_EQ(JobTextComposer::compose(job, Channel::Clipboard),
            "ZelbrinPrinter1!1!1!*2*!1!1!1!*NONE*!1!1!1!*Color*!1!1!1!a.pdf1!1!1!QUJD");
  EXPECT_EQ(JobTextComposer::compose(job, Channel::Folder),
            "ZelbrinPrinter1!1!1!*2*!1!1!1!*NONE*!1!1!1!*Color*!1!1!1!a.pdf1!1!1!QUJD1!1!1!false")
      << "the folder channel always carries collate";

  job.collate = "true";
  job.copies = "4";
  const std::string full = JobTextComposer::compose(job, Channel::Clipboard);
  EXPECT_TRUE(full.ends_with("QUJD1!1!1!true1!1!1!*4*"));
  job.closeCopiesWithStar = false;
  EXPECT_TRUE(JobTextComposer::compose(job, Channel::Clipboard).ends_with("1!1!1!*4"));

  job.withSettingsBlock = false;
  job.collate.reset();
  EXPECT_EQ(JobTextComposer::compose(job, Channel::Clipboard),
            "ZelbrinPrinter1!1!1!a.pdf1!1!1!QUJD");
}

TEST(JobTextComposer, ClipboardOpenPayloadIsEncryptedWithZeroFill) {
  JobTextComposer::Job job;
  job.command = "ZelbrinOpen";
  job.document = "http://example.invalid/";
  const std::string text = JobTextComposer::compose(job, Channel::Clipboard);
  const auto fields = JobText::fieldView(text);
  const std::string decoded = Base64::dataFromBase64String(fields[5]);
  EXPECT_EQ(decoded.size() % 16, 1U) << "whole blocks plus one extra byte";
  std::string expected = job.document;
  expected.resize(32, '\0');
  EXPECT_EQ(Crypto::aesCbcDecrypt(decoded), expected);

  const std::string folderText = JobTextComposer::compose(job, Channel::Folder);
  const auto folderFields = JobText::fieldView(folderText);
  EXPECT_EQ(Base64::dataFromBase64String(folderFields[5]), job.document) << "never in a folder";
}

TEST(JobTextComposer, UserDefinedCommandsPutValuesWhereTheAgentReadsThem) {
  JobTextComposer::Job pdf;
  pdf.command = "UserDefinedPdf*";
  pdf.serverPrinter = "HP Floor 2";
  pdf.tray = "3";
  pdf.duplex = "DUPLEXTUMBLE";
  pdf.color = "Mono";
  pdf.document = "%PDF";
  pdf.collate = "true";
  pdf.copies = "5";
  const std::string text = JobTextComposer::compose(pdf, Channel::Clipboard);
  const auto stars = JobText::starView(text);
  const auto fields = JobText::fieldView(text);
  ASSERT_GE(stars.size(), 11U);
  EXPECT_EQ(stars[2], "HP Floor 2");
  EXPECT_EQ(stars[4], "3");
  EXPECT_EQ(stars[6], "DUPLEXTUMBLE");
  EXPECT_EQ(stars[8], "Mono");
  EXPECT_EQ(stars[10], "5");
  ASSERT_GE(fields.size(), 8U);
  EXPECT_EQ(Base64::dataFromBase64String(fields[6]), "%PDF");
  EXPECT_EQ(fields[7], "true");

  JobTextComposer::Job driver;
  driver.command = "USERDEFINEDDRIVER";
  driver.serverPrinter = "Label Printer";
  driver.document = std::string("\x1b@raw\0bytes", 11);
  const std::string driverText = JobTextComposer::compose(driver, Channel::Folder);
  const auto driverStars = JobText::starView(driverText);
  ASSERT_EQ(driverStars.size(), 3U);
  EXPECT_EQ(driverStars[1], "Label Printer");
  EXPECT_EQ(Base64::dataFromBase64String(driverStars[2]), driver.document);
}

TEST(JobTextComposer, OpenUrlCarriesTheLinkInTheNameField) {
  JobTextComposer::Job job;
  job.command = "ZelbrinOpenUrl";
  job.documentName = "\\\\server\\share\\file.pdf";
  const std::string text = JobTextComposer::compose(job, Channel::Folder);
  const auto fields = JobText::fieldView(text);
  EXPECT_EQ(Base64::dataFromBase64String(fields[4]), job.documentName);
}

}  // namespace
