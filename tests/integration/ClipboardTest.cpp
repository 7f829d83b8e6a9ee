#include <gtest/gtest.h>

#include <fstream>

#include "platform/X11ClipboardReader.h"
#include "support/RemoteClipboardOwner.h"

using namespace std::chrono_literals;

// The reader against an owner that behaves like a remote-desktop client. The agent's own use of
// the clipboard, replies included, is tested end to end in AgentTest.
namespace {

// The address space this process has ever held, in bytes.
std::uint64_t peakAddressSpace() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmPeak:", 0) == 0) return std::stoull(line.substr(7)) * 1024;
  }
  return 0;
}

TEST(ClipboardTest, LateAnswersAndStalledTransfersNeverFeedTheNextRead) {
  RemoteClipboardOwner owner;
  X11ClipboardReader reader(4096);
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

  // A transfer in pieces given up on does not feed the next read.
  RemoteClipboardOwner pieces(8);
  pieces.offer(std::string(64, 'a'));
  pieces.answerLate(400ms, 3);
  EXPECT_FALSE(reader.read(100ms, ++changes).answered) << "the owner stopped after 3 pieces";
  // The stalled transfer goes on late, while the next text is read.
  pieces.offer("the next text, which comes in pieces too");
  EXPECT_EQ(reader.read(10s, ++changes).text, "the next text, which comes in pieces too");

  // An owner that keeps sending is read up to the limit, and no further.
  pieces.answerLate(0ms);
  pieces.offer(std::string(5000, 'b'));
  const auto endless = reader.read(10s, ++changes);
  EXPECT_TRUE(endless.answered && endless.skipped && !endless.text);
  pieces.offer("small again");
  EXPECT_EQ(reader.read(10s, ++changes).text, "small again");

  // An owner that announces 4 GiB and sends a few bytes costs what it sends.
  pieces.announce(0xFFFFFFFFu);
  pieces.offer(std::string(40, 'c'));
  const std::uint64_t before = peakAddressSpace();
  EXPECT_EQ(reader.read(10s, ++changes).text, std::string(40, 'c'));
  EXPECT_LT(peakAddressSpace() - before, std::uint64_t{256} << 20);
}

}  // namespace
