// AppTracker and WindowTracker over the in-memory desktop.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "TrackingWorld.h"

using namespace trellick;

namespace {

class AppTrackerTest : public ::testing::Test, protected test::TrackingWorld {};

TEST_F(AppTrackerTest, ActivationsOrderTheListAndActivatePreviousRaisesTheNextRunningAppsFocusedWindow) {
    WindowId mine = windows->openAndFocus(win(ownPID, "trellick", "Settings"));
    auto t = make<AppTracker>();
    EXPECT_EQ(t->orderedCount(), 0) << "our own process is never listed";

    WindowId a1 = windows->openAndFocus(win(10, "Alpha", "a doc"));
    WindowId b = windows->openAndFocus(win(20, "Beta", "b doc"));
    WindowId g = windows->openAndFocus(win(30, "Gamma"));  // untitled: no subtitle
    windows->focus(mine);
    windows->focus(a1);
    settle();
    EXPECT_EQ(labels(t->orderedTargets()), (Strings{"Alpha|a doc", "Gamma|<none>", "Beta|b doc"}));
    EXPECT_EQ(diagnostics->mruNames.get(), (Strings{"Alpha", "Gamma", "Beta"}));

    // Alpha's newer window is the one it has focused: that one comes forward.
    WindowId a2 = windows->openAndFocus(win(10, "Alpha", "a2"));
    windows->focus(g);
    settle();
    auto targets = t->orderedTargets();  // Gamma, Alpha, Beta
    t->activatePrevious();
    EXPECT_EQ(windows->activeWindow(), a2);

    // Gamma quits: never chosen, not even by a target taken before.
    windows->close(g);
    settle();
    EXPECT_EQ(labels(t->orderedTargets()), (Strings{"Alpha|a2", "Beta|b doc"}));
    windows->activations.clear();
    targets[0].activate();
    EXPECT_TRUE(windows->activations.empty());
    t->activatePrevious();
    EXPECT_EQ(windows->activations, Ids{b});
    t.reset();
    targets[1].activate();  // the tracker is gone: its targets still work
    EXPECT_EQ(windows->activations, (Ids{b, a2}));
}

TEST_F(AppTrackerTest, TheTwentyFirstAppDropsTheOldestAndTitlesAreReadOnlyWhileListedWithWindowControl) {
    auto t = make<AppTracker>();
    Ids w{0};  // w[pid]
    for (int pid = 1; pid <= 20; ++pid) w.push_back(windows->openAndFocus(win(pid, "App" + std::to_string(pid), "t")));
    settle();
    w.push_back(windows->openAndFocus(win(21, "Late", "late")));
    time->runReady();  // the title is read in the background: not yet
    auto listed = labels(t->orderedTargets());
    EXPECT_EQ(listed.size(), 20u);
    EXPECT_EQ(listed.front(), "Late|<none>");
    EXPECT_EQ(listed.back(), "App2|t");
    EXPECT_EQ(diagnostics->mruNames.get().size(), 8u);

    // Late's read is still queued when twenty newer apps push it off the list. Back on it, it
    // and App1 show no title until theirs is read again: none was kept for an app off the list.
    for (int pid = 100; pid < 120; ++pid) windows->openAndFocus(win(pid, "Filler"));
    settle();
    windows->focus(w[21]);
    windows->focus(w[1]);
    time->runReady();
    listed = labels(t->orderedTargets());
    EXPECT_EQ(Strings(listed.begin(), listed.begin() + 2), (Strings{"App1|<none>", "Late|<none>"}));

    windows->setWindowControl(false);
    windows->openAndFocus(win(30, "Gamma", "secret"));
    settle();
    EXPECT_EQ(labels(t->orderedTargets()).front(), "Gamma|<none>");
}

class WindowTrackerTest : public ::testing::Test, protected test::TrackingWorld {};

TEST_F(WindowTrackerTest, FocusBuildsTheListAcrossAndWithinApplications) {
    WindowId a1 = windows->openAndFocus(win(10, "Alpha", "a1"));
    auto t = make<WindowTracker>();
    EXPECT_TRUE(diagnostics->windowControlAvailable.get());
    EXPECT_EQ(ids(*t), Ids{a1});

    WindowId b1 = windows->openAndFocus(win(20, "Beta", "b1"));
    WindowId a2 = windows->openAndFocus(win(10, "Alpha", ""));  // same app, other window, untitled
    windows->focus(a1);
    settle();
    EXPECT_EQ(ids(*t), (Ids{a1, a2, b1}));
    EXPECT_EQ(diagnostics->mruWindowTitles.get(),
              (Strings{"Alpha \u2014 a1", "Alpha \u2014 (untitled)", "Beta \u2014 b1"}));

    // Focusing again replaces the entry, so a changed title shows. Our own windows are listed
    // too, but a focus move among them is not followed: our own process is not observed.
    windows->setTitle(b1, "b1 renamed");
    windows->focus(b1);
    WindowId mine = windows->openAndFocus(win(ownPID, "trellick", "Settings"));
    windows->openAndFocus(win(ownPID, "trellick", "About"));
    windows->openAndFocus(win(50, "Panel", "", WindowKind::other));  // not a window to switch to
    settle();
    EXPECT_EQ(ids(*t), (Ids{mine, b1, a1, a2}));
    EXPECT_EQ(labels(t->orderedTargets()),
              (Strings{"trellick|Settings", "Beta|b1 renamed", "Alpha|a1", "Alpha|<none>"}));

    // The list keeps the thirty latest windows; diagnostics show the first eight.
    Ids many;
    for (int pid = 100; pid <= 130; ++pid) many.push_back(windows->openAndFocus(win(pid, "Many")));
    settle();
    EXPECT_EQ(t->orderedCount(), 30);
    EXPECT_EQ(ids(*t).front(), many.back());
    EXPECT_EQ(std::ranges::count(ids(*t), many.front()), 0);
    EXPECT_EQ(diagnostics->mruWindowTitles.get().size(), 8u);
}

TEST_F(WindowTrackerTest, ClosedWindowsAndQuitAppsArePrunedAndActivatePreviousSkipsThem) {
    auto t = make<WindowTracker>();
    WindowId a1 = windows->openAndFocus(win(10, "Alpha", "a1"));
    WindowId a2 = windows->openAndFocus(win(10, "Alpha", "a2"));
    WindowId b = windows->openAndFocus(win(20, "Beta", "b"));
    WindowId c = windows->openAndFocus(win(30, "Gamma", "c"));
    windows->closeSilently(b);  // the client list not re-read yet: only liveness can tell
    t->activatePrevious();
    EXPECT_EQ(windows->activeWindow(), a2);
    settle();
    EXPECT_EQ(ids(*t), (Ids{a2, c, a1}));

    // Alpha quits: every entry of the process goes, the one already closed too.
    windows->closeSilently(a1);
    windows->close(a2);
    settle();
    EXPECT_EQ(ids(*t), Ids{c});
    EXPECT_EQ(diagnostics->mruWindowTitles.get(), Strings{"Gamma \u2014 c"});
    WindowId a3 = windows->openAndFocus(win(10, "Alpha", "a3"));  // relaunched, same process id
    settle();
    EXPECT_EQ(ids(*t), (Ids{a3, c}));

    windows->activations.clear();
    t->activatePrevious();
    EXPECT_EQ(windows->activeWindow(), c);
    time->advanceTo(time->now() + 1.0);
    EXPECT_EQ(windows->activations, Ids{c}) << "no retry once it became active";

    windows->closeSilently(a3);  // c alone: nothing to switch to, and the dead entry goes
    t->activatePrevious();
    time->advanceTo(time->now() + 1.0);
    EXPECT_EQ(windows->activeWindow(), c);
    EXPECT_EQ(ids(*t), Ids{c});
}

TEST_F(WindowTrackerTest, RaiseIsRetriedOnceWhenTheWindowManagerIgnoresIt) {
    auto t = make<WindowTracker>();
    WindowId a = windows->openAndFocus(win(10, "Alpha"));
    windows->openAndFocus(win(20, "Beta"));
    settle();
    windows->honourActivation = false;
    t->activatePrevious();
    EXPECT_EQ(windows->activations, Ids{a});
    time->advanceTo(time->now() + 5.0);
    EXPECT_EQ(windows->activations, (Ids{a, a})) << "retried once only";

    // The user focuses another window before the retry is due: the retry must not take it back.
    windows->activations.clear();
    windows->openAndFocus(win(30, "Gamma"));
    settle();
    t->activatePrevious();
    windows->focus(a);
    time->advanceTo(time->now() + 1.0);
    EXPECT_EQ(windows->activations.size(), 1u);
    EXPECT_EQ(windows->activeWindow(), a);

    // Focus moves away and back to where it was before the retry is due: that is the user
    // (or the other tracker) acting, not an ignored request, so no retry either.
    windows->activations.clear();
    WindowId gamma = windows->clientList().back();
    windows->focus(gamma);
    settle();
    t->activatePrevious();  // asks for a; ignored
    windows->focus(a);
    windows->focus(gamma);
    time->advanceTo(time->now() + 1.0);
    EXPECT_EQ(windows->activations, Ids{a});
    EXPECT_EQ(windows->activeWindow(), gamma);
}

TEST_F(WindowTrackerTest, WalksCheckLivenessInTheBackgroundOneCheckAtATime) {
    auto t = make<WindowTracker>();
    WindowId a = windows->openAndFocus(win(10, "Alpha"));
    WindowId b = windows->openAndFocus(win(20, "Beta"));
    WindowId c = windows->openAndFocus(win(30, "Gamma"));
    settle();
    windows->closeSilently(a);
    int checksBefore = windows->aliveChecks();
    auto targets = t->orderedTargets();
    EXPECT_EQ(targets.size(), 3u) << "built from the list at hand";
    EXPECT_EQ(windows->aliveChecks(), checksBefore) << "no verification on the main thread";
    t->orderedTargets();  // a second walk while the first check is in flight
    EXPECT_EQ(background->pending(), 1u);

    // A window recorded after the snapshot stays even though it is not in the check's result.
    WindowId d = windows->openAndFocus(win(40, "Delta"));
    settle();
    EXPECT_EQ(ids(*t), (Ids{d, c, b}));
    t->orderedTargets();  // that check is over: the next walk checks again
    EXPECT_EQ(background->pending(), 1u);

    // Stale targets are harmless: the closed window's, and any once the tracker is gone.
    windows->activations.clear();
    targets[2].activate();
    EXPECT_EQ(windows->activations, Ids{a});
    t.reset();
    targets[1].activate();
    settle();
    EXPECT_EQ(windows->activations, Ids{a});
}

TEST_F(WindowTrackerTest, WithoutWindowControlNothingIsRecordedUntilItArrives) {
    windows->setWindowControl(false);
    WindowId a = windows->openAndFocus(win(10, "Alpha"));
    auto t = make<WindowTracker>();
    WindowId b = windows->openAndFocus(win(20, "Beta"));
    windows->focus(a);
    settle();
    EXPECT_FALSE(diagnostics->windowControlAvailable.get());
    EXPECT_EQ(t->orderedCount(), 0);

    // The window manager comes up: the front window is recorded and the others listed below it.
    windows->setWindowControl(true);
    settle();
    EXPECT_TRUE(diagnostics->windowControlAvailable.get());
    EXPECT_EQ(ids(*t), (Ids{a, b}));

    // Losing it detaches nothing: once it is back (unannounced), a focus move within Alpha counts.
    windows->setWindowControl(false);
    settle();
    windows->setWindowControl(true, /*notify=*/false);
    WindowId a2 = windows->openAndFocus(win(10, "Alpha", "a2"));
    settle();
    EXPECT_FALSE(diagnostics->windowControlAvailable.get());
    EXPECT_EQ(ids(*t), (Ids{a2, a, b}));

    // Gamma starts while control is away: within Gamma, focus is followed only after the
    // reconcile once a minute has attached it, and that keeps running.
    windows->setWindowControl(false);
    settle();
    windows->openAndFocus(win(30, "Gamma", "g1"));
    windows->setWindowControl(true, /*notify=*/false);
    double start = time->now();
    time->advanceTo(start + 59.9);
    windows->openAndFocus(win(30, "Gamma", "g2"));
    settle();
    EXPECT_EQ(ids(*t), (Ids{a2, a, b}));
    time->advanceTo(start + 60.0);
    WindowId g3 = windows->openAndFocus(win(30, "Gamma", "g3"));
    settle();
    EXPECT_EQ(ids(*t).front(), g3);
    EXPECT_TRUE(time->nextDue());
}

// Before any activation has been seen, both lists hold the active entry and, below it, what
// the window manager's stacking order tells: visible windows top-most first, then minimised
// ones; never our own windows nor windows one does not switch to, and no more than the limits.
struct StartCase {
    const char* name;
    std::function<void(sim::SimulatedWindowSystem&, const std::map<std::string, WindowId>&)> lastMove;
    test::TrackingWorld::Strings windowsHead, appsHead;
    const char* previous;  // where a toggle goes
    friend std::ostream& operator<<(std::ostream& out, const StartCase& c) { return out << c.name; }
};
class SeedAtStartTest : public ::testing::TestWithParam<StartCase>, protected test::TrackingWorld {};

TEST_P(SeedAtStartTest, ListsStartFromTheStackingOrderBelowTheActiveEntry) {
    for (int i = 0; i < 26; ++i) {  // put away long ago, at the bottom
        WindowId f = windows->openAndFocus(win(100 + i, "Filler", "f"));
        windows->setMinimised(f, true);
    }
    std::map<std::string, WindowId> w;
    w["a1"] = windows->openAndFocus(win(10, "Alpha", "a1"));
    w["b"] = windows->openAndFocus(win(20, "Beta", "b"));
    windows->openAndFocus(win(ownPID, "trellick", "Settings"));
    w["c"] = windows->openAndFocus(win(30, "Gamma", "c"));
    w["a2"] = windows->openAndFocus(win(10, "Alpha", "a2"));
    w["panel"] = windows->open(win(50, "Panel", "", WindowKind::other));
    w["d"] = windows->openAndFocus(win(40, "Delta", "d"));
    windows->setMinimised(w["c"], true);
    GetParam().lastMove(*windows, w);

    auto windowTracker = make<WindowTracker>();
    auto appTracker = make<AppTracker>();
    auto windowLabels = labels(windowTracker->orderedTargets());
    auto appLabels = labels(appTracker->orderedTargets());
    EXPECT_EQ(windowLabels.size(), 30u);
    EXPECT_EQ(appLabels.size(), 20u);
    windowLabels.resize(5);
    appLabels.resize(4);
    EXPECT_EQ(windowLabels, GetParam().windowsHead);
    EXPECT_EQ(appLabels, GetParam().appsHead);
    windowTracker->activatePrevious();
    EXPECT_EQ(windows->activeWindow(), w[GetParam().previous]);
}
INSTANTIATE_TEST_SUITE_P(
    Active, SeedAtStartTest,
    ::testing::Values(StartCase{"Switchable",
                                [](auto& ws, auto& w) { ws.focus(w.at("b")); },
                                {"Beta|b", "Delta|d", "Alpha|a2", "Alpha|a1", "Gamma|c"},
                                {"Beta|b", "Delta|d", "Alpha|a2", "Gamma|c"},
                                "d"},
                      // Focus on a window one does not switch to is not recorded at run time either.
                      StartCase{"NotSwitchable",
                                [](auto& ws, auto& w) { ws.focus(w.at("panel")); },
                                {"Delta|d", "Alpha|a2", "Beta|b", "Alpha|a1", "Gamma|c"},
                                {"Delta|d", "Alpha|a2", "Beta|b", "Gamma|c"},
                                "a2"},
                      StartCase{"None",
                                [](auto& ws, auto& w) { ws.setMinimised(w.at("d"), true); },
                                {"Alpha|a2", "Beta|b", "Alpha|a1", "Delta|d", "Gamma|c"},
                                {"Alpha|a2", "Beta|b", "Delta|d", "Gamma|c"},
                                "b"}),
    [](const auto& info) { return std::string(info.param.name); });

// When window control arrives, the lists are seeded again: what the user has focused keeps its
// order, earlier guesses give way to the stacking order of now, nothing is listed twice. While
// the window manager takes on its windows one by one, each client-list change re-seeds, until
// the first focus change.
class SeedOnWindowControlTest : public ::testing::Test, protected test::TrackingWorld {};

TEST_F(SeedOnWindowControlTest, SeedingAgainKeepsWhatTheUserFocusedInItsOrder) {
    windows->setWindowControl(false);
    auto windowTracker = make<WindowTracker>();
    auto appTracker = make<AppTracker>();
    // The names in each list (one window per application here).
    auto lists = [&] {
        settle();
        std::pair<Strings, Strings> out;
        for (auto& t : windowTracker->orderedTargets()) out.first.push_back(t.title);
        for (auto& t : appTracker->orderedTargets()) out.second.push_back(t.title);
        return out;
    };
    using Lists = std::pair<Strings, Strings>;
    windows->setWindowControl(true);
    WindowId x1 = windows->open(win(10, "X1"));
    WindowId x2 = windows->open(win(20, "X2"));
    windows->open(win(30, "X3"));
    EXPECT_EQ(lists(), (Lists{{"X3", "X2", "X1"}, {"X3", "X2", "X1"}}));
    windows->focus(x1);
    WindowId x4 = windows->open(win(40, "X4"));  // after the first focus change
    EXPECT_EQ(lists(), (Lists{{"X1", "X3", "X2"}, {"X1", "X3", "X2"}}));

    // Only application activations are heard while control is away.
    windows->setWindowControl(false);
    windows->focus(x2);
    windows->focus(x4);
    EXPECT_EQ(lists(), (Lists{{"X1", "X3", "X2"}, {"X4", "X2", "X1", "X3"}}));
    windows->setWindowControl(true);
    EXPECT_EQ(lists(), (Lists{{"X4", "X1", "X2", "X3"}, {"X4", "X2", "X1", "X3"}}));
}

}  // namespace
