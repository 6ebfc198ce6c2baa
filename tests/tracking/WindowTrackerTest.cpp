#include <gtest/gtest.h>

#include <limits>

#include "TrackingWorld.h"
#include "tracking/WindowTracker.h"

using namespace trellick;
using trellick::test::TrackingWorld;

namespace {

class WindowTrackerTest : public ::testing::Test, protected TrackingWorld {
protected:
    std::shared_ptr<WindowTracker> makeTracker() {
        if (!workspace) makeWorkspace();
        auto t = WindowTracker::create({workspace, windows, mainQueue, diagnostics, background, ownPID});
        t->start();
        settle();
        return t;
    }
    static std::vector<WindowId> ids(const WindowTracker& t) {
        std::vector<WindowId> out;
        for (auto& e : t.mru()) out.push_back(e.id);
        return out;
    }
};

TEST_F(WindowTrackerTest, FocusBuildsTheListAcrossAndWithinApplications) {
    WindowId a1 = windows->openAndFocus(win(10, "Alpha", "a1"));
    auto t = makeTracker();
    EXPECT_TRUE(diagnostics->accessibilityTrusted.get());
    EXPECT_EQ(ids(*t), std::vector<WindowId>{a1});

    WindowId b1 = windows->openAndFocus(win(20, "Beta", "b1"));
    WindowId a2 = windows->openAndFocus(win(10, "Alpha", "a2"));  // same app, other window
    windows->focus(a1);
    settle();
    EXPECT_EQ(ids(*t), (std::vector<WindowId>{a1, a2, b1}));
    EXPECT_EQ(diagnostics->mruWindowTitles.get(),
              (std::vector<std::string>{"Alpha \u2014 a1", "Alpha \u2014 a2", "Beta \u2014 b1"}));

    // Focusing again replaces the entry, so a changed title shows.
    windows->setTitle(b1, "b1 renamed");
    windows->focus(b1);
    settle();
    EXPECT_EQ(t->mru().front().title, "b1 renamed");
    EXPECT_EQ(t->orderedCount(), 3);
    auto targets = t->orderedTargets();
    ASSERT_EQ(targets.size(), 3u);
    EXPECT_EQ(targets[0].title, "Beta");
    EXPECT_EQ(targets[0].subtitle, "b1 renamed");
    EXPECT_FALSE(targets[0].isPlaceholder);
}

TEST_F(WindowTrackerTest, OnlyRealWindowsAreRecordedAndTheListKeepsThirty) {
    auto t = makeTracker();
    auto dock = win(50, "Panel");
    dock.kind = WindowKind::other;
    windows->openAndFocus(dock);
    settle();
    EXPECT_EQ(t->orderedCount(), 0);

    std::vector<WindowId> opened;
    for (int i = 0; i < 31; ++i) opened.push_back(windows->openAndFocus(win(100 + i % 7, "App", "w" + std::to_string(i))));
    settle();
    EXPECT_EQ(t->orderedCount(), 30);
    EXPECT_EQ(t->mru().front().id, opened.back());
    EXPECT_EQ(t->mru().back().id, opened[1]);
    EXPECT_EQ(diagnostics->mruWindowTitles.get().size(), 8u);
}

TEST_F(WindowTrackerTest, UntitledWindowsAreLabelledAndHaveNoSubtitle) {
    auto t = makeTracker();
    windows->openAndFocus(win(10, "Alpha", ""));
    settle();
    EXPECT_EQ(diagnostics->mruWindowTitles.get(), std::vector<std::string>{"Alpha \u2014 (untitled)"});
    EXPECT_FALSE(t->orderedTargets().at(0).subtitle.has_value());
}

TEST_F(WindowTrackerTest, TerminationAndRelaunchDropTheApplicationsWindows) {
    auto t = makeTracker();
    WindowId a1 = windows->openAndFocus(win(10, "Alpha", "a1"));
    WindowId b1 = windows->openAndFocus(win(20, "Beta", "b1"));
    WindowId a2 = windows->openAndFocus(win(10, "Alpha", "a2"));
    settle();
    ASSERT_EQ(ids(*t), (std::vector<WindowId>{a2, b1, a1}));

    // The application quits: its last window goes, so every entry of the process goes.
    windows->closeSilently(a1);
    windows->close(a2);
    settle();
    EXPECT_EQ(ids(*t), std::vector<WindowId>{b1});
    EXPECT_EQ(diagnostics->mruWindowTitles.get(), std::vector<std::string>{"Beta \u2014 b1"});
    EXPECT_EQ(t->observedPids().count(10), 0u);

    // Relaunched under the same process id: observed afresh, focus recorded again.
    WindowId a3 = windows->openAndFocus(win(10, "Alpha", "a3"));
    settle();
    EXPECT_EQ(t->observedPids().count(10), 1u);
    EXPECT_EQ(ids(*t), (std::vector<WindowId>{a3, b1}));
}

TEST_F(WindowTrackerTest, ActivatePreviousPrunesClosedWindowsAndRaisesMinimisedOnes) {
    auto t = makeTracker();
    WindowId a = windows->openAndFocus(win(10, "Alpha"));
    WindowId b = windows->openAndFocus(win(20, "Beta"));
    WindowId c = windows->openAndFocus(win(30, "Gamma"));
    settle();
    // b closed without the client list being re-read yet: only liveness can tell.
    windows->closeSilently(b);
    t->activatePrevious();
    EXPECT_EQ(windows->activeWindow(), a);
    settle();
    EXPECT_EQ(ids(*t), (std::vector<WindowId>{a, c}));

    windows->setMinimised(c, true);
    windows->activations.clear();
    t->activatePrevious();
    EXPECT_EQ(windows->activeWindow(), c);
    EXPECT_EQ(windows->isMinimised(c), false);
    mainQueue->advanceTo(clock->now() + 1.0);
    EXPECT_EQ(windows->activations, std::vector<WindowId>{c}) << "no retry once it became active";

    // [a] alone after a closes too: nothing to switch to.
    windows->closeSilently(a);
    windows->activations.clear();
    t->activatePrevious();
    EXPECT_TRUE(windows->activations.empty());
}

TEST_F(WindowTrackerTest, RaiseIsRetriedOnceWhenTheWindowManagerIgnoresIt) {
    auto t = makeTracker();
    WindowId a = windows->openAndFocus(win(10, "Alpha"));
    windows->openAndFocus(win(20, "Beta"));
    settle();
    windows->honourActivation = false;
    t->activatePrevious();
    EXPECT_EQ(windows->activations, std::vector<WindowId>{a});
    mainQueue->advanceTo(clock->now() + 0.07);
    EXPECT_EQ(windows->activations.size(), 1u);
    mainQueue->advanceTo(clock->now() + 0.02);
    EXPECT_EQ(windows->activations, (std::vector<WindowId>{a, a}));
    mainQueue->advanceTo(clock->now() + 1.0);
    EXPECT_EQ(windows->activations.size(), 2u) << "retried once only";

    // The user focuses another window before the retry is due: the retry must not take it back.
    windows->activations.clear();
    WindowId c = windows->openAndFocus(win(30, "Gamma"));
    settle();
    t->activatePrevious();
    windows->focus(a);
    mainQueue->advanceTo(clock->now() + 1.0);
    EXPECT_EQ(windows->activations.size(), 1u);
    EXPECT_EQ(windows->activeWindow(), a);
    (void)c;
}

TEST_F(WindowTrackerTest, WalksCheckLivenessInTheBackgroundOneCheckAtATime) {
    auto t = makeTracker();
    WindowId a = windows->openAndFocus(win(10, "Alpha"));
    WindowId b = windows->openAndFocus(win(20, "Beta"));
    WindowId c = windows->openAndFocus(win(30, "Gamma"));
    settle();
    windows->closeSilently(a);
    int checksBefore = windows->aliveChecks();
    auto targets = t->orderedTargets();
    EXPECT_EQ(targets.size(), 3u) << "built from the list at hand";
    EXPECT_EQ(windows->aliveChecks(), checksBefore) << "no verification on the main thread";
    EXPECT_TRUE(t->pruneInFlight());
    t->orderedTargets();  // a second walk while the first check is in flight
    EXPECT_EQ(background->pending(), 1u);

    // A window recorded after the snapshot stays even though it is not in the check's result.
    WindowId d = windows->openAndFocus(win(40, "Delta"));
    settle();
    EXPECT_FALSE(t->pruneInFlight());
    EXPECT_EQ(ids(*t), (std::vector<WindowId>{d, c, b}));

    // The stale target of the closed window is harmless.
    windows->activations.clear();
    targets[2].activate();
    EXPECT_EQ(windows->activations, std::vector<WindowId>{a});
    EXPECT_NE(windows->activeWindow(), a);
}

TEST_F(WindowTrackerTest, NothingIsRecordedWithoutWindowControlUntilItArrives) {
    windows->setWindowControl(false);
    WindowId a = windows->openAndFocus(win(10, "Alpha"));
    auto t = makeTracker();
    windows->openAndFocus(win(20, "Beta"));
    windows->focus(a);
    settle();
    EXPECT_FALSE(diagnostics->accessibilityTrusted.get());
    EXPECT_EQ(t->orderedCount(), 0);
    EXPECT_TRUE(t->observedPids().empty());
    t->reconcileObservers();
    EXPECT_TRUE(t->observedPids().empty());

    // The window manager comes up: every application is observed, the front window recorded.
    windows->setWindowControl(true);
    settle();
    EXPECT_TRUE(diagnostics->accessibilityTrusted.get());
    EXPECT_EQ(t->observedPids(), (std::set<int>{10, 20}));
    EXPECT_EQ(ids(*t), std::vector<WindowId>{a});

    // Losing it again detaches nothing.
    windows->setWindowControl(false);
    settle();
    EXPECT_FALSE(diagnostics->accessibilityTrusted.get());
    EXPECT_EQ(t->observedPids().size(), 2u);
}

TEST_F(WindowTrackerTest, ReconcileRunsEveryMinuteAndAttachesWhatWasMissed) {
    windows->setWindowControl(false);
    auto t = makeTracker();
    windows->openAndFocus(win(10, "Alpha"));
    windows->openAndFocus(win(20, "Beta"));
    // The window manager became usable without announcing it: only the reconcile notices.
    windows->setWindowControl(true, /*notify=*/false);
    settle();
    double start = clock->now();
    mainQueue->advanceTo(start + 59.9);
    EXPECT_TRUE(t->observedPids().empty());
    mainQueue->advanceTo(start + 60.0);
    EXPECT_EQ(t->observedPids(), (std::set<int>{10, 20}));
    // And it keeps running: a focus change within Beta is followed from now on.
    WindowId b2 = windows->openAndFocus(win(20, "Beta", "b2"));
    settle();
    EXPECT_EQ(t->mru().front().id, b2);
    EXPECT_NE(mainQueue->nextDueTime(), std::numeric_limits<double>::infinity());
}

TEST_F(WindowTrackerTest, OwnWindowsAreRecordedButOwnProcessIsNotObserved) {
    auto t = makeTracker();
    windows->openAndFocus(win(10, "Alpha"));
    WindowId mine = windows->openAndFocus(win(ownPID, "trellick", "Settings"));
    settle();
    EXPECT_EQ(t->mru().front().id, mine);
    EXPECT_EQ(t->observedPids().count(ownPID), 0u);
}

TEST_F(WindowTrackerTest, TargetsOfAGoneTrackerDoNothing) {
    auto t = makeTracker();
    windows->openAndFocus(win(10, "Alpha"));
    windows->openAndFocus(win(20, "Beta"));
    settle();
    auto targets = t->orderedTargets();
    t.reset();
    windows->activations.clear();
    targets[1].activate();
    settle();
    EXPECT_TRUE(windows->activations.empty());
}

}  // namespace
