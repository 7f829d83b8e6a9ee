#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>

#include "platform/QtClipboard.h"
#include "support/AgentProcess.h"
#include "support/OutsideClipboard.h"

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
  ASSERT_TRUE(processEventsUntil([&] { return clipboard.text() == "first 1!1!1! text"; }));

  const auto before = clipboard.changeCount();
  setFromOutside("caf\xc3\xa9 \xe2\x82\xac");
  EXPECT_TRUE(processEventsUntil([&] { return clipboard.changeCount() != before; }))
      << "an outside change must be signalled";
  EXPECT_TRUE(processEventsUntil([&] { return clipboard.text() == "caf\xc3\xa9 \xe2\x82\xac"; }));
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
  EXPECT_EQ(clipboard.text(), std::nullopt);
}

}  // namespace
