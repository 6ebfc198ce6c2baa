#include "common/Observable.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace trellick {
namespace {

TEST(Observable, SubscribersHearTheCurrentValueThenEveryAssignmentUntilDropped) {
    Observable<int> value(7);
    std::vector<std::string> heard;
    auto a = value.subscribe([&](const int& v) { heard.push_back("a" + std::to_string(v)); });
    {
        auto b = value.subscribe([&](const int& v) { heard.push_back("b" + std::to_string(v)); });
        value.set(7);  // an equal value is still an assignment
    }
    value.assignSilently(8);  // loading is not
    Subscription moved = std::move(a);
    value.set(9);
    moved = Subscription();
    value.set(10);
    EXPECT_EQ(heard, (std::vector<std::string>{"a7", "b7", "a7", "b7", "a9"}));
}

TEST(Observable, UnsubscribingDuringAnEmission) {
    Observable<int> value(0);
    std::vector<std::string> heard;
    // A slot that tears down a later listener (a view closing) must not see that listener
    // called afterwards in the same emission: its owner may be gone.
    auto victim = std::make_unique<Subscription>();
    Subscription killer = value.subscribe([&](const int& v) {
        if (v == 1) victim.reset();
    });
    *victim = value.subscribe([&](const int& v) { heard.push_back("victim" + std::to_string(v)); });
    // A slot dropping its own subscription from inside the call finishes safely.
    std::optional<Subscription> self;
    self = value.subscribe([&](const int& v) {
        heard.push_back("self" + std::to_string(v));
        if (v == 1) self.reset();
    });
    value.set(1);
    value.set(2);
    EXPECT_EQ(heard, (std::vector<std::string>{"victim0", "self0", "self1"}));
}

TEST(Observable, SubscriptionMayOutliveItsSource) {
    Subscription sub;
    {
        Observable<std::string> value("x");
        sub = value.subscribe([](const std::string&) {});
    }
    // Nothing left to cancel: the sanitizer builds check that nothing freed is touched.
    sub.reset();
}

TEST(Setting, AnnouncesThenStoresAndNotifiesThenWrites) {
    Signal<> willChange;
    std::vector<std::string> events;
    Setting<int> setting(&willChange, [&](const int& v) { events.push_back("write" + std::to_string(v)); });
    setting.load(5);  // neither heard nor written
    auto w = willChange.connect([&] { events.push_back("will(old=" + std::to_string(setting.get()) + ")"); });
    auto s = setting.subscribe([&](const int& v) { events.push_back("changed" + std::to_string(v)); });
    setting.set(6);
    EXPECT_EQ(events, (std::vector<std::string>{"changed5", "will(old=5)", "changed6", "write6"}));
}

}  // namespace
}  // namespace trellick
