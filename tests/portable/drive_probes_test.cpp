// The drive probes' verdicts in simulated time (milliseconds): each drive tells its kind
// and answers when its plan says, and a wait returns at the next of these, or at its end.
#include <gtest/gtest.h>

#include <map>

#include "platform/driveprobe.h"

namespace {

using platform::DriveKind;
using platform::DriveProbes;
using platform::DriveRef;
using Clock = DriveProbes::Clock;
using Ms = std::chrono::milliseconds;

constexpr long long kNever = -1;

struct Plan {
  DriveKind kind = DriveKind::kNetwork;
  long long answers = kNever;  // from the start of its probe
  long long classified = 0;
};

struct SimulatedSystem : DriveProbes::System {
  Clock::time_point Now() override { return Clock::time_point(Ms(now)); }
  void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable&,
                 Clock::time_point until) override {
    lock.unlock();
    RunUntil(std::chrono::duration_cast<Ms>(until.time_since_epoch()).count(), true);
    lock.lock();
  }
  bool Start(const DriveRef& drive, std::function<void(DriveKind)> classified,
             std::function<void()> answered) override {
    const Plan plan = plans[drive.letter];
    started += drive.letter;
    if (plan.classified != kNever) {
      events.emplace(now + plan.classified, [=] { classified(plan.kind); });
    }
    if (plan.answers != kNever) {
      events.emplace(now + plan.answers, answered);
    }
    return true;
  }
  void Tell(const platform::SilentDrive& drive) override { told += drive.letter; }

  // Lets the events up to `until` happen (only the first when `notified`, as a wait
  // returns when notified), or else sets the clock to `until`.
  void RunUntil(long long until, bool notified = false) {
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

  std::map<char, Plan> plans;
  std::string started, told;  // letters
  long long now = 0;
  std::multimap<long long, std::function<void()>> events;
};

DriveRef Drive(char letter) {
  return DriveRef{std::string(1, letter) + ":\\", letter};
}

TEST(DriveProbes, ALocalDiskMayTakeLongerThanADriveThatCanGoAway) {
  const struct {
    Plan plan;
    long long answeredAt;  // or given up, when negative
  } cases[] = {
      {{DriveKind::kNetwork, 7999}, 7999},
      {{DriveKind::kNetwork, 12000}, -8000},
      {{DriveKind::kRemovable, 12000}, -8000},
      {{DriveKind::kUserSpace, 12000}, -8000},
      {{DriveKind::kUnknown, 12000}, -8000},
      // A disk spinning up is waited for, up to its own bound.
      {{DriveKind::kLocalDisk, 12000}, 12000},
      {{DriveKind::kLocalDisk, 29000, 3000}, 29000},
      {{DriveKind::kLocalDisk, kNever}, -30000},
      // Telling the kind may itself wait: until it is told, the short bound holds.
      {{DriveKind::kLocalDisk, 12000, 9000}, -8000},
      {{DriveKind::kLocalDisk, 12000, kNever}, -8000},
  };
  for (const auto& c : cases) {
    SimulatedSystem system;
    DriveProbes probes(system);
    system.plans['d'] = c.plan;
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.plan.kind) << ", " << c.answeredAt);
    EXPECT_EQ(probes.Answers(Drive('d')), c.answeredAt > 0);
    EXPECT_EQ(system.now, std::abs(c.answeredAt));
    const auto silent = probes.Silent();
    EXPECT_EQ(system.told, c.answeredAt > 0 ? "" : "d");
    EXPECT_EQ(silent.empty() ? 0 : -silent[0].waited.count(), std::min(c.answeredAt, 0LL));
  }
}

TEST(DriveProbes, DrivesProbedTogetherShareOneWaitAndAVerdictStands) {
  SimulatedSystem system;
  DriveProbes probes(system);
  system.plans = {{'d', {DriveKind::kNetwork}},
                  {'e', {DriveKind::kLocalDisk, 2000}},
                  {'f', {DriveKind::kUserSpace}},
                  {'g', {DriveKind::kNetwork, 9000}}};
  EXPECT_EQ(probes.Answer({Drive('d'), Drive('e'), Drive('f'), Drive('g')}),
            (std::vector<bool>{false, true, false, false}));
  EXPECT_EQ(system.now, 8000);
  EXPECT_EQ(system.told, "dfg");
  // G:'s late answer changes nothing, and nothing is waited for or said again.
  system.RunUntil(13000);
  EXPECT_FALSE(probes.Answers(Drive('g')));
  EXPECT_EQ(system.now, 13000);
  EXPECT_EQ(system.told, "dfg");
  EXPECT_EQ(system.started, "defg");  // only the drives asked for

  // The drive list waits a moment only; chosen later, M: gets the rest of its 8 s.
  EXPECT_EQ(probes.AnsweredWithin({Drive('e'), Drive('m')}, Ms(500)),
            (std::vector<bool>{true, false}));
  system.RunUntil(16000);
  EXPECT_FALSE(probes.Answers(Drive('m')));
  EXPECT_EQ(system.now, 21000);
  EXPECT_EQ(system.told, "dfgm");
}

}  // namespace
