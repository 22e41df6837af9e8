#include "net/delimited_body.h"

#include <gtest/gtest.h>

#include <string>

namespace dovrel {
namespace {

struct Outcome {
  std::string body;
  bool closed;
  bool outOfOrder;
};

Outcome ReadInPieces(const std::string& text, DelimitedBody::Closing where, std::size_t firstCut,
                     std::size_t pieceSize) {
  DelimitedBody reader("<B>", "</B>", where);
  Outcome outcome{"", false, false};
  const auto take = [&](std::size_t from, std::size_t length) {
    for (std::string_view run : reader.Read(text.data() + from, length)) outcome.body += run;
  };
  take(0, firstCut);
  for (std::size_t at = firstCut; at < text.size(); at += pieceSize) {
    take(at, std::min(pieceSize, text.size() - at));
  }
  outcome.closed = reader.Closed();
  outcome.outOfOrder = reader.OutOfOrder();
  return outcome;
}

TEST(DelimitedBody, HandsOnTheSameBodyHoweverTheTextIsCut) {
  using Closing = DelimitedBody::Closing;
  const struct {
    const char* text;
    Closing where;
    Outcome expected;
  } cases[] = {
      {"x<B>abc</B>y", Closing::kAfterOpening, {"abc", true, false}},
      {"<B></B>", Closing::kAfterOpening, {"", true, false}},
      {"<B>a</</B</B>", Closing::kAfterOpening, {"a</</B", true, false}},
      {"<B>a<</B>", Closing::kAfterOpening, {"a<", true, false}},
      {"<B>ab</", Closing::kAfterOpening, {"ab", false, false}},  // a tag's start waits
      {"<B>a</B>b</B>", Closing::kAfterOpening, {"a", true, false}},
      {"</B><B>a</B>", Closing::kAfterOpening, {"a", true, false}},
      {"no tags", Closing::kAfterOpening, {"", false, false}},
      {"x<B>abc</B>y", Closing::kAnywhere, {"abc", true, false}},
      {"<B>a</</B</B>", Closing::kAnywhere, {"a</</B", true, false}},
      {"</B><B>a</B>", Closing::kAnywhere, {"", true, true}},
      {"ab</B>", Closing::kAnywhere, {"", true, true}},
      {"<B>ab", Closing::kAnywhere, {"ab", false, false}},
  };
  for (const auto& c : cases) {
    const std::string text = c.text;
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
      for (std::size_t piece : {std::size_t{1}, std::size_t{2}, text.size() + 1}) {
        SCOPED_TRACE(text + " cut at " + std::to_string(cut) + ", pieces of " +
                     std::to_string(piece));
        const Outcome got = ReadInPieces(text, c.where, cut, piece);
        EXPECT_EQ(got.body, c.expected.body);
        EXPECT_EQ(got.closed, c.expected.closed);
        EXPECT_EQ(got.outOfOrder, c.expected.outOfOrder);
      }
    }
  }
}

}  // namespace
}  // namespace dovrel
