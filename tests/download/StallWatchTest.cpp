// The stall rule on a wait clock: fewer than 1 KiB in the last second of waiting is a stall.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/StallWatch.h"

namespace ruvevid {
namespace {

// Arrivals as (wait before, bytes), then the wait after the last one.
struct StallWatchCase {
  std::string Name;
  std::vector<std::pair<std::int64_t, std::size_t>> Arrivals;
  std::int64_t WaitAfter;
  bool Stalled;
};

class StallWatchTest : public testing::TestWithParam<StallWatchCase> {};

TEST_P(StallWatchTest, StalledOnlyWhenTheLastWindowBroughtTooLittle) {
  TStallWatch Watch(1000, 1024);
  for (const auto& [Wait, Bytes] : GetParam().Arrivals) {
    Watch.Waited(Wait);
    Watch.Received(Bytes);
  }
  Watch.Waited(GetParam().WaitAfter);
  EXPECT_EQ(Watch.Stalled(), GetParam().Stalled);
}

INSTANTIATE_TEST_SUITE_P(
    Arrivals, StallWatchTest,
    testing::Values(StallWatchCase{"NothingYetWithinTheWindow", {}, 999, false},
                    StallWatchCase{"NothingForAWholeWindow", {}, 1000, true},
                    StallWatchCase{"EnoughThenQuietForLessThanAWindow", {{0, 2000}}, 999, false},
                    StallWatchCase{"EnoughThenQuietForAWindow", {{0, 2000}}, 1000, true},
                    // 500 + 600 bytes make 1 KiB only with the older arrival, which is out of
                    // the window by then.
                    StallWatchCase{"EnoughOnlyWithAnOldArrival", {{0, 500}, {800, 600}}, 700, true},
                    StallWatchCase{"TrickleOfSmallArrivals",
                                   {{100, 10}, {100, 10}, {100, 10}, {100, 10}, {100, 10}},
                                   500,
                                   true},
                    StallWatchCase{"SteadyStream",
                                   {{300, 400}, {300, 400}, {300, 400}, {300, 400}},
                                   300,
                                   false}),
    [](const auto& Info) { return Info.param.Name; });

}  // namespace
}  // namespace ruvevid
