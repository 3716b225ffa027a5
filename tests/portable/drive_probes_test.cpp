// The drive probes' verdicts, in simulated time: each drive's kind and answer come when
// its plan says, and waiting moves the clock to the next of them.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "platform/driveprobe.h"

namespace {

using namespace std::chrono_literals;
using platform::DriveKind;
using platform::DriveProbes;
using platform::DriveRef;
using platform::SilentDrive;
using Clock = DriveProbes::Clock;
using Time = std::chrono::milliseconds;

// When a drive tells its kind and answers, counted from the start of its probe; never
// when empty.
struct Plan {
  DriveKind kind = DriveKind::kNetwork;
  std::optional<Time> answers;
  std::optional<Time> classified = 0ms;
};

class SimulatedSystem : public DriveProbes::System {
 public:
  Clock::time_point Now() override { return now_; }

  // Returns at the next event, as a wait returns when notified; else at `until`.
  void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable&,
                 Clock::time_point until) override {
    lock.unlock();
    if (!events_.empty() && events_.begin()->first <= until) {
      Next();
    } else {
      now_ = until;
    }
    lock.lock();
  }

  bool Start(const DriveRef& drive, std::function<void(DriveKind)> classified,
             std::function<void()> answered) override {
    const Plan plan = plans[drive.root];
    started.push_back(drive.letter);
    if (plan.classified) {
      events_.emplace(now_ + *plan.classified, [=] { classified(plan.kind); });
    }
    if (plan.answers) {
      events_.emplace(now_ + *plan.answers, answered);
    }
    return true;
  }

  void Tell(const SilentDrive& drive) override { told.push_back(drive); }

  // Lets every event up to `until` happen, then sets the clock there.
  void RunUntil(Clock::time_point until) {
    while (!events_.empty() && events_.begin()->first <= until) {
      Next();
    }
    now_ = until;
  }
  // Milliseconds since the start.
  long long Elapsed() const {
    return std::chrono::duration_cast<Time>(now_ - Clock::time_point()).count();
  }

  std::map<std::string, Plan> plans;  // by root
  std::string started;                // the letters probed, in order
  std::vector<SilentDrive> told;

 private:
  void Next() {
    now_ = events_.begin()->first;
    const auto event = events_.begin()->second;
    events_.erase(events_.begin());
    event();
  }

  Clock::time_point now_;
  std::multimap<Clock::time_point, std::function<void()>> events_;
};

DriveRef Drive(char letter) {
  return DriveRef{std::string(1, letter) + ":\\", letter};
}

TEST(DriveProbes, ADriveThatDoesNotAnswerIsGivenUpAtItsBoundAndStaysSo) {
  SimulatedSystem system;
  DriveProbes probes(system);
  system.plans["f:\\"] = Plan{DriveKind::kNetwork, 9s};
  EXPECT_FALSE(probes.Answers(Drive('f')));
  EXPECT_EQ(system.Elapsed(), 8000);
  ASSERT_EQ(system.told.size(), 1u);
  EXPECT_EQ(system.told[0].letter, 'f');
  EXPECT_EQ(system.told[0].waited.count(), 8000);

  // Its late answer comes; the verdict stands, without another wait or another word.
  system.RunUntil(system.Now() + 5s);
  EXPECT_FALSE(probes.Answers(Drive('f')));
  EXPECT_EQ(probes.AnsweredWithin({Drive('f')}, 500ms), std::vector<bool>{false});
  EXPECT_EQ(system.Elapsed(), 13000);
  EXPECT_EQ(system.told.size(), 1u);
  ASSERT_EQ(probes.Silent().size(), 1u);
  EXPECT_EQ(system.started, "f");
}

TEST(DriveProbes, ADriveAnsweringJustInsideItsBoundIsSearched) {
  SimulatedSystem system;
  DriveProbes probes(system);
  system.plans["g:\\"] = Plan{DriveKind::kRemovable, 7999ms};
  EXPECT_TRUE(probes.Answers(Drive('g')));
  EXPECT_EQ(system.Elapsed(), 7999);
  EXPECT_TRUE(system.told.empty());
  EXPECT_TRUE(probes.Silent().empty());
}

TEST(DriveProbes, DrivesProbedTogetherShareOneWait) {
  SimulatedSystem system;
  DriveProbes probes(system);
  system.plans["d:\\"] = Plan{DriveKind::kNetwork, std::nullopt};
  system.plans["e:\\"] = Plan{DriveKind::kLocalDisk, 2s};
  system.plans["f:\\"] = Plan{DriveKind::kUserSpace, std::nullopt};
  EXPECT_EQ(probes.Answer({Drive('d'), Drive('e'), Drive('f')}),
            (std::vector<bool>{false, true, false}));
  EXPECT_EQ(system.Elapsed(), 8000);
  ASSERT_EQ(system.told.size(), 2u);
  EXPECT_EQ(system.told[0].letter, 'd');
  EXPECT_EQ(system.told[1].letter, 'f');
  // Only the drives asked for were probed.
  EXPECT_EQ(system.started, "def");
}

TEST(DriveProbes, ALocalDiskMayTakeLongerThanADriveThatCanGoAway) {
  const struct {
    Plan plan;
    bool answers;
    Time elapsed;
  } cases[] = {
      // A disk spinning up is waited for, up to its own bound.
      {{DriveKind::kLocalDisk, 12s}, true, 12s},
      {{DriveKind::kLocalDisk, 29s, 3s}, true, 29s},
      {{DriveKind::kLocalDisk, std::nullopt}, false, 30s},
      // Everything else that answers that late is given up at 8 s.
      {{DriveKind::kNetwork, 12s}, false, 8s},
      {{DriveKind::kRemovable, 12s}, false, 8s},
      {{DriveKind::kUserSpace, 12s}, false, 8s},
      {{DriveKind::kUnknown, 12s}, false, 8s},
      // Telling the kind takes as long as it may: until it is told, 8 s.
      {{DriveKind::kLocalDisk, 12s, 9s}, false, 8s},
      {{DriveKind::kLocalDisk, 12s, std::nullopt}, false, 8s},
  };
  for (const auto& c : cases) {
    SimulatedSystem system;
    DriveProbes probes(system);
    system.plans["d:\\"] = c.plan;
    SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(c.plan.kind));
    EXPECT_EQ(probes.Answers(Drive('d')), c.answers);
    EXPECT_EQ(system.Elapsed(), c.elapsed.count());
    if (!c.answers) {
      ASSERT_EQ(system.told.size(), 1u);
      EXPECT_EQ(system.told[0].waited.count(), c.elapsed.count());
    }
  }
}

TEST(DriveProbes, TheDriveListWaitsOnlyAMomentAndThenTheBoundRunsFromTheProbe) {
  SimulatedSystem system;
  DriveProbes probes(system);
  system.plans["c:\\"] = Plan{DriveKind::kLocalDisk, 10ms};
  system.plans["m:\\"] = Plan{DriveKind::kNetwork, std::nullopt};
  EXPECT_EQ(probes.AnsweredWithin({Drive('c'), Drive('m')}, 500ms),
            (std::vector<bool>{true, false}));
  EXPECT_EQ(system.Elapsed(), 500);
  EXPECT_TRUE(system.told.empty());
  // Chosen later, M: is given the rest of its 8 s, not 8 s more.
  system.RunUntil(system.Now() + 3s);
  EXPECT_FALSE(probes.Answers(Drive('m')));
  EXPECT_EQ(system.Elapsed(), 8000);
  EXPECT_EQ(system.told.size(), 1u);
}

}  // namespace
