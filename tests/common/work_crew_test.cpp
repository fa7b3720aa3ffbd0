#include "common/work_crew.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace brinvale {
namespace {

TEST(WorkCrew, RunsEveryPartOnceJobAfterJob) {
  for (size_t members : {1u, 2u, 5u}) {
    WorkCrew crew(members);
    EXPECT_EQ(crew.Members(), members);
    for (size_t parts : {0u, 1u, 3u, 64u, 1000u}) {
      std::vector<std::atomic<int>> runs(parts);
      crew.Run(parts, [&](size_t part) { runs[part].fetch_add(1); });
      for (size_t i = 0; i < parts; ++i) EXPECT_EQ(runs[i].load(), 1) << members << "/" << parts;
    }
  }
}

TEST(WorkCrew, ACrewOfOneRunsThePartsInOrderOnTheCaller) {
  WorkCrew crew(1);
  std::vector<size_t> order;
  const auto caller = std::this_thread::get_id();
  crew.Run(4, [&](size_t part) {
    EXPECT_EQ(std::this_thread::get_id(), caller);
    order.push_back(part);
  });
  EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2, 3}));
}

TEST(WorkCrew, APartThatThrowsIsReportedAfterTheOthersFinish) {
  WorkCrew crew(3);
  std::atomic<int> done{0};
  EXPECT_THROW(crew.Run(50,
                        [&](size_t part) {
                          if (part == 7) throw std::runtime_error("part 7");
                          done.fetch_add(1);
                        }),
               std::runtime_error);
  EXPECT_EQ(done.load(), 49);
  // The crew goes on working after a failed job.
  std::atomic<int> again{0};
  crew.Run(10, [&](size_t) { again.fetch_add(1); });
  EXPECT_EQ(again.load(), 10);
}

TEST(WorkCrew, MembersFollowTheCoresWhenNoneAreAsked) {
  EXPECT_EQ(WorkCrew::MembersFor(3, 16), 3u);
  EXPECT_EQ(WorkCrew::MembersFor(40, 16), 16u);
  const size_t cores = std::max<size_t>(std::thread::hardware_concurrency(), 1);
  EXPECT_EQ(WorkCrew::MembersFor(0, 64), std::min<size_t>(cores, 64));
}

}  // namespace
}  // namespace brinvale
