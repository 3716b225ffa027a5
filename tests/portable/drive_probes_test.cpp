// The drive probes' verdicts in simulated time: each drive's kind and answer come when
// its plan says, and a wait moves the clock to the next of them, or to its end.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "platform/driveprobe.h"

namespace {

using namespace std::chrono_literals;
using platform::DriveKind;
using platform::DriveProbes;
using platform::DriveRef;
using Clock = DriveProbes::Clock;
using Time = std::chrono::milliseconds;

// When a drive tells its kind and answers, from the start of its probe; empty: never.
struct Plan {
  DriveKind kind = DriveKind::kNetwork;
  std::optional<Time> answers;
  std::optional<Time> classified = 0ms;
};

struct SimulatedSystem : DriveProbes::System {
  Clock::time_point Now() override { return now; }
  void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable&,
                 Clock::time_point until) override {
    lock.unlock();
    RunUntil(until, true);
    lock.lock();
  }
  bool Start(const DriveRef& drive, std::function<void(DriveKind)> classified,
             std::function<void()> answered) override {
    const Plan plan = plans[drive.letter];
    started += drive.letter;
    if (plan.classified) {
      events.emplace(now + *plan.classified, [=] { classified(plan.kind); });
    }
    if (plan.answers) {
      events.emplace(now + *plan.answers, answered);
    }
    return true;
  }
  void Tell(const platform::SilentDrive& drive) override { told += drive.letter; }

  // Lets the events up to `until` happen - only the first when `notified`, as a wait
  // returns when notified - or else sets the clock to `until`.
  void RunUntil(Clock::time_point until, bool notified = false) {
    while (!events.empty() && events.begin()->first <= until) {
      now = events.begin()->first;
      const auto event = events.begin()->second;
      events.erase(events.begin());
      event();
      if (notified) {
        return;
      }
    }
    now = until;
  }
  long long Elapsed() const {
    return std::chrono::duration_cast<Time>(now - Clock::time_point()).count();
  }

  std::map<char, Plan> plans;
  std::string started, told;  // letters
  Clock::time_point now;
  std::multimap<Clock::time_point, std::function<void()>> events;
};

DriveRef Drive(char letter) {
  return DriveRef{std::string(1, letter) + ":\\", letter};
}

TEST(DriveProbes, ALocalDiskMayTakeLongerThanADriveThatCanGoAway) {
  const struct {
    Plan plan;
    long long answeredAt;  // or given up, when negative
  } cases[] = {
      {{DriveKind::kNetwork, 7999ms}, 7999},
      {{DriveKind::kNetwork, 12s}, -8000},
      {{DriveKind::kRemovable, 12s}, -8000},
      {{DriveKind::kUserSpace, 12s}, -8000},
      {{DriveKind::kUnknown, 12s}, -8000},
      // A disk spinning up is waited for, up to its own bound.
      {{DriveKind::kLocalDisk, 12s}, 12000},
      {{DriveKind::kLocalDisk, 29s, 3s}, 29000},
      {{DriveKind::kLocalDisk, std::nullopt}, -30000},
      // Telling the kind may itself wait: until it is told, the short bound holds.
      {{DriveKind::kLocalDisk, 12s, 9s}, -8000},
      {{DriveKind::kLocalDisk, 12s, std::nullopt}, -8000},
  };
  for (const auto& c : cases) {
    SimulatedSystem system;
    DriveProbes probes(system);
    system.plans['d'] = c.plan;
    SCOPED_TRACE(testing::Message()
                 << "kind " << static_cast<int>(c.plan.kind) << ", " << c.answeredAt);
    EXPECT_EQ(probes.Answers(Drive('d')), c.answeredAt > 0);
    EXPECT_EQ(system.Elapsed(), std::abs(c.answeredAt));
    const auto silent = probes.Silent();
    EXPECT_EQ(system.told, c.answeredAt > 0 ? "" : "d");
    EXPECT_EQ(silent.empty() ? 0 : -silent[0].waited.count(), std::min(c.answeredAt, 0LL));
  }
}

TEST(DriveProbes, DrivesProbedTogetherShareOneWaitAndAVerdictStands) {
  SimulatedSystem system;
  DriveProbes probes(system);
  system.plans['d'] = Plan{DriveKind::kNetwork, std::nullopt};
  system.plans['e'] = Plan{DriveKind::kLocalDisk, 2s};
  system.plans['f'] = Plan{DriveKind::kUserSpace, std::nullopt};
  system.plans['g'] = Plan{DriveKind::kNetwork, 9s};
  EXPECT_EQ(probes.Answer({Drive('d'), Drive('e'), Drive('f'), Drive('g')}),
            (std::vector<bool>{false, true, false, false}));
  EXPECT_EQ(system.Elapsed(), 8000);
  EXPECT_EQ(system.told, "dfg");
  // G:'s late answer changes nothing, and nothing is waited for or said again.
  system.RunUntil(system.now + 5s);
  EXPECT_FALSE(probes.Answers(Drive('g')));
  EXPECT_EQ(probes.AnsweredWithin({Drive('g')}, 500ms), std::vector<bool>{false});
  EXPECT_EQ(system.Elapsed(), 13000);
  EXPECT_EQ(system.told, "dfg");
  EXPECT_EQ(system.started, "defg");  // only the drives asked for

  // The drive list waits a moment only; chosen later, M: gets the rest of its 8 s.
  system.plans['m'] = Plan{DriveKind::kNetwork, std::nullopt};
  EXPECT_EQ(probes.AnsweredWithin({Drive('e'), Drive('m')}, 500ms),
            (std::vector<bool>{true, false}));
  system.RunUntil(system.now + 3s);
  EXPECT_FALSE(probes.Answers(Drive('m')));
  EXPECT_EQ(system.Elapsed(), 21000);
  EXPECT_EQ(system.told, "dfgm");
}

}  // namespace
