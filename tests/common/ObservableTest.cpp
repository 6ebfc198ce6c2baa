#include "common/Observable.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace trellick {
namespace {

TEST(Observable, SubscriberHearsCurrentValueThenEveryAssignmentIncludingEqualOnes) {
    Observable<int> value(7);
    std::vector<int> heard;
    auto sub = value.subscribe([&](const int& v) { heard.push_back(v); });
    value.set(7);
    value.set(8);
    value.assignSilently(9);  // loading is not an assignment
    EXPECT_EQ(heard, (std::vector<int>{7, 7, 8}));
    EXPECT_EQ(value.get(), 9);
}

TEST(Observable, SubscriptionLifetime) {
    Observable<int> value(0);
    std::vector<std::string> heard;
    auto a = value.subscribe([&](const int& v) { heard.push_back("a" + std::to_string(v)); });
    {
        auto b = value.subscribe([&](const int& v) { heard.push_back("b" + std::to_string(v)); });
        value.set(1);
    }  // b dropped
    value.set(2);

    // Moving keeps the subscription alive; assigning over one cancels the old one.
    Subscription moved = std::move(a);
    value.set(3);
    moved = value.subscribe([&](const int& v) { heard.push_back("c" + std::to_string(v)); });
    value.set(4);
    EXPECT_EQ(heard, (std::vector<std::string>{"a0", "b0", "a1", "b1", "a2", "a3", "c3", "c4"}));
}

TEST(Observable, SlotThatUnsubscribesDuringEmit) {
    Observable<int> value(0);
    std::vector<std::string> heard;
    // A slot that tears down a later listener (as a view closing would) must not see
    // that listener called afterwards in the same emission: its owner may be gone.
    auto victim = std::make_unique<std::optional<Subscription>>();
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
    int calls = 0;
    {
        Observable<std::string> value("x");
        sub = value.subscribe([&](const std::string&) { ++calls; });
    }
    sub.reset();  // the source is gone: nothing to cancel, nothing to touch
    sub.reset();
    EXPECT_EQ(calls, 1);
}

TEST(Setting, WillChangeThenValueThenWrite) {
    Signal<> willChange;
    std::vector<std::string> events;
    Setting<int>* self = nullptr;
    Setting<int> setting(&willChange, [&](const int& v) { events.push_back("write" + std::to_string(v)); });
    self = &setting;
    setting.load(5);  // neither heard nor written
    auto w = willChange.connect([&] { events.push_back("will(old=" + std::to_string(self->get()) + ")"); });
    auto s = setting.subscribe([&](const int& v) { events.push_back("changed" + std::to_string(v)); });
    setting.set(6);
    setting.set(6);
    EXPECT_EQ(events, (std::vector<std::string>{"changed5", "will(old=5)", "changed6", "write6", "will(old=6)",
                                                "changed6", "write6"}));
}

}  // namespace
}  // namespace trellick
