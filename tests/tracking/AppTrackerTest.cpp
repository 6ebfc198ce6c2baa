#include <gtest/gtest.h>

#include "TrackingWorld.h"
#include "tracking/AppTracker.h"

using namespace trellick;
using trellick::test::TrackingWorld;

namespace {

class AppTrackerTest : public ::testing::Test, protected TrackingWorld {
protected:
    std::shared_ptr<AppTracker> makeTracker() {
        if (!workspace) makeWorkspace();
        auto t = AppTracker::create({workspace, windows, mainQueue, diagnostics, background, ownPID});
        settle();
        return t;
    }
    std::vector<std::string> titles(const std::vector<SwitchTarget>& targets) {
        std::vector<std::string> out;
        for (auto& t : targets) out.push_back(t.title + "|" + t.subtitle.value_or("<none>"));
        return out;
    }
};

TEST_F(AppTrackerTest, ListStartsWithTheFrontmostAppAndFollowsActivationsWithoutDuplicates) {
    WindowId a = windows->openAndFocus(win(10, "Alpha", "a doc"));
    makeWorkspace();
    auto t = makeTracker();
    EXPECT_EQ(t->mru(), std::vector<int>{10});
    EXPECT_EQ(t->orderedCount(), 1);

    windows->openAndFocus(win(20, "Beta", "b doc"));
    windows->openAndFocus(win(30, "Gamma"));
    windows->focus(a);
    settle();
    EXPECT_EQ(t->mru(), (std::vector<int>{10, 30, 20}));
    EXPECT_EQ(titles(t->orderedTargets()), (std::vector<std::string>{"Alpha|a doc", "Gamma|<none>", "Beta|b doc"}));
    EXPECT_EQ(diagnostics->mruNames.get(), (std::vector<std::string>{"Alpha", "Gamma", "Beta"}));

    // A second window of the front application is not an application activation.
    windows->openAndFocus(win(10, "Alpha", "another"));
    settle();
    EXPECT_EQ(t->mru(), (std::vector<int>{10, 30, 20}));
}

TEST_F(AppTrackerTest, OwnProcessNeverEntersTheList) {
    WindowId mine = windows->open(win(ownPID, "trellick", "Settings"));
    windows->focus(mine);
    makeWorkspace();
    auto t = makeTracker();
    EXPECT_EQ(t->orderedCount(), 0);
    windows->openAndFocus(win(10, "Alpha"));
    windows->focus(mine);
    settle();
    EXPECT_EQ(t->mru(), std::vector<int>{10});
}

TEST_F(AppTrackerTest, TwentyFirstAppDropsTheOldestWithItsTitle) {
    makeWorkspace();
    auto t = makeTracker();
    for (int pid = 1; pid <= 20; ++pid) windows->openAndFocus(win(pid, "App" + std::to_string(pid), "t"));
    settle();
    ASSERT_EQ(t->orderedCount(), 20);
    ASSERT_TRUE(t->cachedTitle(1));
    windows->openAndFocus(win(21, "App21", "t"));
    settle();
    EXPECT_EQ(t->orderedCount(), 20);
    EXPECT_EQ(t->mru().front(), 21);
    EXPECT_EQ(t->mru().back(), 2);
    EXPECT_FALSE(t->cachedTitle(1));
    EXPECT_EQ(diagnostics->mruNames.get().size(), 8u);
}

TEST_F(AppTrackerTest, QuitApplicationsStayCountedButAreNeverChosen) {
    WindowId b = windows->openAndFocus(win(20, "Beta"));
    auto t = makeTracker();
    windows->openAndFocus(win(10, "Alpha"));
    windows->close(b);
    settle();
    ASSERT_EQ(t->mru(), (std::vector<int>{10, 20}));
    EXPECT_EQ(t->orderedCount(), 2);
    EXPECT_EQ(titles(t->orderedTargets()), std::vector<std::string>{"Alpha|<none>"});
    windows->activations.clear();
    t->activatePrevious();
    EXPECT_TRUE(windows->activations.empty());
}

TEST_F(AppTrackerTest, ActivatePreviousBringsTheSecondAppsFocusedWindowForward) {
    makeWorkspace();
    auto t = makeTracker();
    WindowId a1 = windows->openAndFocus(win(10, "Alpha", "one"));
    WindowId a2 = windows->openAndFocus(win(10, "Alpha", "two"));
    windows->openAndFocus(win(20, "Beta"));
    settle();
    t->activatePrevious();
    EXPECT_EQ(windows->activeWindow(), a2);
    EXPECT_NE(windows->activeWindow(), a1);
    settle();
    EXPECT_EQ(t->mru(), (std::vector<int>{10, 20}));
}

TEST_F(AppTrackerTest, TitlesAreReadInTheBackgroundAndDiscardedWhenTheAppLeftTheList) {
    makeWorkspace();
    auto t = makeTracker();
    windows->openAndFocus(win(10, "Alpha", "first title"));
    mainQueue->runPending();
    EXPECT_FALSE(t->cachedTitle(10)) << "stored before the read ran";
    settle();
    EXPECT_EQ(t->cachedTitle(10), "first title");

    // An empty title leaves the subtitle absent, never empty.
    WindowId e = windows->openAndFocus(win(20, "Empty", ""));
    settle();
    EXPECT_FALSE(t->cachedTitle(20));
    EXPECT_EQ(titles(t->orderedTargets()).front(), "Empty|<none>");
    (void)e;

    // App 30's read is still queued when 20 newer apps push it off the list.
    windows->openAndFocus(win(30, "Late", "late title"));
    for (int pid = 100; pid < 120; ++pid) {
        windows->openAndFocus(win(pid, "Filler"));
        mainQueue->runPending();
    }
    settle();
    EXPECT_FALSE(t->cachedTitle(30));
}

TEST_F(AppTrackerTest, WithoutWindowControlNoTitlesAreRead) {
    windows->setWindowControl(false);
    makeWorkspace();
    auto t = makeTracker();
    windows->openAndFocus(win(10, "Alpha", "secret"));
    settle();
    EXPECT_EQ(t->mru(), std::vector<int>{10});
    EXPECT_FALSE(t->cachedTitle(10));
}

TEST_F(AppTrackerTest, TargetsOutliveTheirAppHarmlessly) {
    makeWorkspace();
    auto t = makeTracker();
    WindowId a = windows->openAndFocus(win(10, "Alpha"));
    windows->openAndFocus(win(20, "Beta"));
    settle();
    auto targets = t->orderedTargets();
    ASSERT_EQ(targets.size(), 2u);
    windows->close(a);
    windows->activations.clear();
    targets[1].activate();
    EXPECT_TRUE(windows->activations.empty());
    t.reset();
    targets[0].activate();  // tracker gone: still allowed
}

}  // namespace
