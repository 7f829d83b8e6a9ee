#include <gtest/gtest.h>

#include <QCoreApplication>
#include <fstream>

#include "core/Crypto.h"
#include "platform/QtClipboard.h"
#include "platform/X11ClipboardReader.h"
#include "support/AgentProcess.h"
#include "support/RemoteClipboardOwner.h"

using namespace std::chrono_literals;

// The reader, and the clipboard as the job monitor uses it, against owners that behave like a
// remote-desktop client, or worse. The agent's own use of the clipboard, replies included, is
// tested end to end in AgentTest.
namespace {

// A figure of /proc/self/status in bytes: VmPeak is the address space this process has ever
// held, VmHWM the most memory it has had resident since resetPeak().
std::uint64_t memory(const std::string& figure) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(figure, 0) == 0) return std::stoull(line.substr(figure.size())) * 1024;
  }
  return 0;
}

void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Reads until the text is in, letting the reader's events through meanwhile.
X11ClipboardReader::Result readThrough(X11ClipboardReader& reader, std::uint64_t changes) {
  X11ClipboardReader::Result result;
  waitFor(
      [&] {
        result = reader.read(changes);
        return result.answered;
      },
      20s);
  return result;
}

TEST(ClipboardTest, LateAnswersAndStalledTransfersNeverFeedTheNextRead) {
  RemoteClipboardOwner owner;
  X11ClipboardReader reader(4096, {}, 300ms);
  std::uint64_t changes = 0;
  owner.offer("job 0");
  owner.answerLate(300ms);
  EXPECT_FALSE(reader.read(changes).answered);
  // Nothing changed: the same request is waited for, not made again, and its answer taken.
  EXPECT_EQ(readThrough(reader, changes).text, "job 0");
  EXPECT_EQ(owner.requests(), 1);

  // The clipboard moved on while a request waited: its late answer comes first, and is no
  // answer to the next request.
  owner.answerLate(300ms);
  EXPECT_FALSE(reader.read(changes).answered);
  for (const char* text : {"job 1", "job 2", "job 3"}) {
    owner.offer(text);
    EXPECT_EQ(readThrough(reader, ++changes).text, text);
  }

  // A transfer in pieces that stalls for longer than the reader waits is given up and asked for
  // again; the given-up one going on late feeds nothing into the new one.
  RemoteClipboardOwner pieces(8);
  const std::string text = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ+/";
  pieces.offer(text);
  pieces.answerLate(700ms, 3);
  EXPECT_EQ(readThrough(reader, ++changes).text, text);
  EXPECT_GE(pieces.requests(), 2);

  // An owner that keeps sending is read up to the limit, and no further; the next text is read.
  RemoteClipboardOwner large(1024);
  large.offer(std::string(5000, 'b'));
  const auto over = readThrough(reader, ++changes);
  EXPECT_TRUE(over.answered && over.skipped && !over.text);
  large.offer("small again");
  EXPECT_EQ(readThrough(reader, ++changes).text, "small again");

  // An owner that announces 4 GiB and sends a few bytes costs what it sends.
  large.announce(0xFFFFFFFFu);
  large.offer(std::string(2000, 'c'));
  const std::uint64_t before = memory("VmPeak:");
  EXPECT_EQ(readThrough(reader, ++changes).text, std::string(2000, 'c'));
  EXPECT_LT(memory("VmPeak:") - before, std::uint64_t{256} << 20);
}

// The first of UTF8_STRING, STRING and TEXT that the owner answers, as UTF-8: STRING is Latin-1,
// TEXT is what the type of its answer says.
TEST(ClipboardTest, TheTextComesInTheFirstFormTheOwnerServes) {
  const std::string latin1 = std::string("Gr\xFC\xDF") + "e \xE0 vous";
  const std::string utf8 = "Grüße à vous";
  struct Case {
    std::vector<RemoteClipboardOwner::Target> served;
    std::string offered;
    std::optional<std::string> expected;
    std::size_t pieceSize = 0;
  };
  const Case cases[] = {
      {{{"UTF8_STRING", "UTF8_STRING"}, {"STRING", "STRING"}}, utf8, utf8},
      {{{"STRING", "STRING"}}, latin1, utf8},
      {{{"STRING", "STRING"}}, latin1, utf8, 3},
      {{{"TEXT", "UTF8_STRING"}}, utf8, utf8},
      {{{"TEXT", "STRING"}}, latin1, utf8},
      {{{"TEXT", "C_STRING"}}, latin1, utf8},
      {{}, utf8, std::nullopt},
  };
  X11ClipboardReader reader(4096);
  std::uint64_t changes = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    RemoteClipboardOwner owner(c.pieceSize);
    owner.serve(c.served);
    owner.offer(c.offered);
    const auto result = readThrough(reader, ++changes);
    EXPECT_TRUE(result.answered && !result.skipped);
    EXPECT_EQ(result.text, c.expected);
    if (c.expected) {
      EXPECT_EQ(result.digest, Crypto::md5Hex(*c.expected));
    }
  }
}

// A remote-desktop client fetches a large text from the session while it hands it over: a pause
// of a second and a half is waited out. An owner that never answers is asked once, and reported
// once when the reader has waited long enough.
TEST(ClipboardTest, APausingOwnerIsWaitedForAndAStuckOneReportedOnce) {
  const std::string text(std::size_t{64} << 10, 'p');
  RemoteClipboardOwner pausing(1024);
  pausing.offer(text);
  pausing.answerLate(1500ms, 3);
  X11ClipboardReader reader(1 << 20);
  const auto paused = readThrough(reader, 1);
  EXPECT_TRUE(paused.text == text) << (paused.text ? paused.text->size() : 0) << " bytes read";
  EXPECT_EQ(pausing.requests(), 1);

  RemoteClipboardOwner silent;
  silent.answerLate(1h);
  silent.offer("never handed over");
  X11ClipboardReader impatient(4096, {}, X11ClipboardReader::kStallLimit, 1s);
  int answered = 0;
  int stuck = 0;
  waitFor(
      [&] {
        const auto result = impatient.read(1);
        answered += result.answered;
        stuck += result.ownerStuck;
        return false;
      },
      2s);
  EXPECT_EQ(answered, 0);
  EXPECT_EQ(stuck, 1);
  EXPECT_EQ(silent.requests(), 1);
}

// The clipboard as the job monitor uses it: a read never waits for the owner; once the text is
// in, the clipboard says so, which is no change of content, and the next read hands it over.
TEST(ClipboardTest, AReadNeverWaitsAndATextThatIsInIsAnnounced) {
  QtClipboard clipboard;
  int notices = 0;
  clipboard.onChangedByOthers([&] { ++notices; });
  RemoteClipboardOwner owner;
  owner.answerLate(300ms);
  owner.offer("a job");
  ASSERT_TRUE(waitFor([&] { return notices == 1; }, 5s));
  const std::uint64_t generation = clipboard.takenByOthers();
  EXPECT_FALSE(clipboard.read().answered) << "the read waited for the owner";
  ASSERT_TRUE(waitFor([&] { return notices == 2; }, 5s)) << "nothing said the text is in";
  EXPECT_EQ(clipboard.takenByOthers(), generation);
  const Clipboard::Content content = clipboard.read();
  EXPECT_EQ(content.text, "a job");
  EXPECT_EQ(content.generation, generation);
}

// Another program's text never goes through Qt's reader, which takes any size and holds the event
// loop meanwhile: an owner of STRING alone that sends without end costs no more than the limit,
// and its text counts as looked at.
TEST(ClipboardTest, AnEndlessTextCostsNoMoreThanTheLimit) {
  constexpr std::size_t kLimit = std::size_t{1} << 20;
  QtClipboard clipboard(kLimit);
  int notices = 0;
  clipboard.onChangedByOthers([&] { ++notices; });
  RemoteClipboardOwner owner(std::size_t{64} << 10);
  owner.serve({{"STRING", "STRING"}});
  owner.sendEndlessly();
  owner.offer(std::string(std::size_t{256} << 10, '\xE9'));
  ASSERT_TRUE(waitFor([&] { return notices == 1; }, 5s));
  resetPeak();
  const std::uint64_t before = memory("VmRSS:");
  Clipboard::Content content;
  waitFor(
      [&] {
        content = clipboard.read();
        return content.answered;
      },
      20s);
  EXPECT_TRUE(content.answered && !content.text);
  EXPECT_LT(memory("VmHWM:") - before, kLimit + (std::size_t{32} << 20));
}

}  // namespace
