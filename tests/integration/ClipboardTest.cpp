#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>

#include "platform/QtClipboard.h"
#include "platform/X11ClipboardReader.h"
#include "support/AgentProcess.h"
#include "support/OutsideClipboard.h"
#include "support/RemoteClipboardOwner.h"

using namespace std::chrono_literals;

namespace {

bool processEventsUntil(const std::function<bool()>& condition) {
  return waitFor(
      [&] {
        QCoreApplication::processEvents();
        return condition();
      },
      3s);
}

// Another program sets the clipboard; xclip stays in the background until someone takes over.
void setFromOutside(const std::string& text) {
  int status = 0;
  runCommand("printf '%s' '" + text + "' | xclip -selection clipboard -i >/dev/null 2>&1", &status);
  ASSERT_EQ(status, 0);
}

TEST(ClipboardTest, ReadsWhatAnotherProgramPutThereAndNoticesTheChange) {
  QtClipboard clipboard;
  setFromOutside("first 1!1!1! text");
  ASSERT_TRUE(processEventsUntil([&] { return clipboard.read().text == "first 1!1!1! text"; }));

  const auto before = clipboard.changeCount();
  setFromOutside("caf\xc3\xa9 \xe2\x82\xac");
  EXPECT_TRUE(processEventsUntil([&] { return clipboard.changeCount() != before; }))
      << "an outside change must be signalled";
  EXPECT_TRUE(processEventsUntil([&] { return clipboard.read().text == "caf\xc3\xa9 \xe2\x82\xac"; }));
}

TEST(ClipboardTest, RepliesAreSeenByOtherPrograms) {
  QtClipboard clipboard;
  clipboard.setText("");
  QCoreApplication::processEvents();
  int status = -1;
  EXPECT_EQ(clipboardFromOutside(&status), "");
  EXPECT_EQ(status, 0) << "an emptied clipboard holds an empty text";

  clipboard.setText(" ");
  EXPECT_EQ(clipboardFromOutside(&status), " ");

  clipboard.clear();
  QCoreApplication::processEvents();
  clipboardFromOutside(&status);
  EXPECT_NE(status, 0) << "a cleared clipboard holds no text at all";
  EXPECT_EQ(clipboard.read().text, std::nullopt);
}

TEST(ClipboardTest, LateAnswersAreTakenForTheirOwnRequestOnly) {
  RemoteClipboardOwner owner;
  X11ClipboardReader reader;
  std::uint64_t changes = 0;
  owner.offer("job 0");
  owner.answerLate(300ms);
  EXPECT_FALSE(reader.read(100ms, changes).answered);
  // Nothing changed: the same request is waited for again, and its answer taken.
  EXPECT_EQ(reader.read(10s, changes).text, "job 0");

  // Given up on, then the clipboard moved on: the late answer is no answer to the next request.
  owner.answerLate(300ms);
  EXPECT_FALSE(reader.read(100ms, changes).answered);
  owner.answerLate(0ms);
  for (const char* text : {"job 1", "job 2", "job 3"}) {
    owner.offer(text);
    EXPECT_EQ(reader.read(10s, ++changes).text, text);
  }
}

TEST(ClipboardTest, TransferInPiecesThatWasGivenUpOnDoesNotFeedTheNextRead) {
  RemoteClipboardOwner owner(8);
  X11ClipboardReader reader;
  owner.offer(std::string(64, 'a'));
  owner.answerLate(400ms, 3);
  EXPECT_FALSE(reader.read(100ms, 0).answered) << "the owner stopped after three pieces";
  // The stalled transfer goes on late, while the next text is read.
  owner.offer("the next text, which comes in pieces too");
  EXPECT_EQ(reader.read(10s, 1).text, "the next text, which comes in pieces too");
}

}  // namespace
