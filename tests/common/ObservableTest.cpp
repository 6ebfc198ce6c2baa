#include "common/Observable.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace trellick {
namespace {

using Heard = std::vector<std::string>;

auto recorder(Heard& heard, std::string who) {
    return [&heard, who](const int& v) { heard.push_back(who + std::to_string(v)); };
}

TEST(Setting, StoresTellsEverySubscriberUntilDroppedThenWrites) {
    Heard heard;
    Subscription outlivesItsSource;
    {
        Setting<int> setting(recorder(heard, "write"));
        setting.load(7);                                   // loading is neither heard nor written
        auto a = setting.subscribe(recorder(heard, "a"));  // hears the current value at once
        {
            auto b = setting.subscribe(recorder(heard, "b"));
            setting.set(7);  // an equal value is still an assignment
        }
        setting.load(8);
        Subscription moved = std::move(a);
        setting.set(9);
        moved = Subscription();
        setting.set(10);
        outlivesItsSource = setting.subscribe([](const int&) {});
    }
    outlivesItsSource.reset();  // the sanitizer builds check that nothing freed is touched
    EXPECT_EQ(heard, (Heard{"a7", "b7", "a7", "b7", "write7", "a9", "write9", "write10"}));
}

TEST(Observable, ASlotDroppedDuringAnEmissionIsNotCalledLaterInIt) {
    // A view closing may tear down a later listener whose owner is then gone; a slot may drop itself.
    Observable<int> value(0);
    Heard heard;
    std::optional<Subscription> victim, self;
    Subscription killer = value.subscribe([&](const int& v) {
        if (v == 1) victim.reset();
    });
    victim = value.subscribe(recorder(heard, "victim"));
    self = value.subscribe([&, hear = recorder(heard, "self")](const int& v) {
        hear(v);
        if (v == 1) self.reset();  // from inside its own call
    });
    value.set(1);
    value.set(2);
    EXPECT_EQ(heard, (Heard{"victim0", "self0", "self1"}));
}

}  // namespace
}  // namespace trellick
