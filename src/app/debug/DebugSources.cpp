// The recording and live sources of `trellick debug-gestures`: --replay FILE runs a touchpad
// recording through the frame assembler and the engine as fast as possible; without --frames
// or --replay the live touchpads are read until interrupted. --dump-frames prints the
// assembled frames in the --frames format instead of the engine's decisions.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <mutex>
#include <utility>

#include "app/debug/DebugGestures.h"
#include "common/Log.h"
#include "common/Text.h"
#include "input/FrameText.h"
#include "input/Recording.h"
#include "platform/evdev/EvdevTouchSource.h"

namespace trellick {

namespace {

void dumpFrame(double t, const std::vector<TouchContact>& fingers,
               const std::vector<input::RejectedContact>& rejected = {}) {
    std::printf("%s\n", input::framesLine(t, fingers.data(), static_cast<int>(fingers.size())).c_str());
    // Why a touch was ignored, under its frame; frames without such contacts print as before.
    if (!rejected.empty()) std::printf("%s\n", input::rejectedLine(rejected).c_str());
}

// A JSON string's content: quotes, backslashes and control characters escaped.
std::string jsonText(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out;
}

int runReplay(const DebugSource& source, const GestureRun::Options& options) {
    std::vector<input::Frame> frames;
    input::Recording rec;
    try {
        rec = input::loadRecording(source.replayFile,
                                   source.deviceDescFile.empty() ? std::nullopt : std::optional(source.deviceDescFile));
        frames = input::assembleFrames(rec);
    } catch (const input::RecordingError& e) {
        std::fprintf(stderr, "trellick: %s\n", text::printable(e.what()).c_str());
        return 2;
    }
    if (source.dumpFrames) {
        std::printf("# %zu frames of %s (%s); t counts from its first event\n", frames.size(),
                    text::printable(source.replayFile).c_str(),
                    rec.device.name.empty() ? "unnamed device" : text::printable(rec.device.name).c_str());
        for (const auto& line : input::deviceKnowledge(rec.device))
            std::printf("# %s\n", text::printable(line).c_str());
        for (const auto& f : frames) dumpFrame(f.time, f.fingers, f.rejected);
    } else {
        // What the palm rules and the spread limit knew of the device, before its decisions.
        std::string known;
        for (const auto& line : input::deviceKnowledge(rec.device))
            known += (known.empty() ? "\"" : ",\"") + jsonText(line) + "\"";
        std::printf("{\"t\":0,\"event\":\"device\",\"known\":[%s]}\n", known.c_str());
        GestureRun run(options, stdout);
        for (const auto& f : frames) run.frame(f.time, f.fingers);
        run.finish();
    }
    std::fflush(stdout);
    return 0;
}

// ---- Live ----

std::atomic<bool> interrupted{false};
extern "C" void onInterrupt(int) {
    interrupted = true;
}

// Work the touch source posts for the main thread, run by the command's loop.
class LoopQueue : public MainQueue {
public:
    void post(std::function<void()> fn) override {
        std::lock_guard lock(m_);
        work_.push_back(std::move(fn));
        cv_.notify_all();
    }
    void postAfter(double, std::function<void()> fn) override { post(std::move(fn)); }

    struct Frame {
        double time;
        std::vector<TouchContact> fingers;
        std::vector<input::RejectedContact> rejected;
    };
    // The touch thread reports a frame's left-out contacts just before the frame itself.
    void rejected(const std::vector<input::RejectedContact>& r) {
        std::lock_guard lock(m_);
        rejected_ = r;
    }
    void frame(const TouchContact* f, int n, double t) {
        std::lock_guard lock(m_);
        frames_.push_back({t, std::vector<TouchContact>(f, f + n), std::exchange(rejected_, {})});
        cv_.notify_all();
    }
    // Waits a little for frames or work; returns what arrived.
    void wait(std::deque<Frame>& frames, std::deque<std::function<void()>>& work) {
        std::unique_lock lock(m_);
        // Bounded, so an interrupt is noticed without waking from the signal handler.
        cv_.wait_for(lock, std::chrono::milliseconds(100), [&] { return !frames_.empty() || !work_.empty(); });
        frames.swap(frames_);
        work.swap(work_);
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<Frame> frames_;
    std::vector<input::RejectedContact> rejected_;
    std::deque<std::function<void()>> work_;
};

std::string deviceNames(const std::vector<TouchDevice>& devices) {
    std::string s;
    for (const auto& d : devices) s += (s.empty() ? "" : ", ") + d.id + " (" + d.name + ")";
    return s;
}

// Says why no touchpad could be read, then what the source warned of.
void reportUnreadable(const evdev::EvdevTouchSource& touchpads, const std::vector<std::string>& warnings) {
    auto refused = touchpads.inaccessible();
    if (!refused.empty()) {
        std::string list;
        for (const auto& r : refused) list += (list.empty() ? "" : ", ") + r;
        std::fprintf(stderr, "trellick: no touchpad can be read: permission denied for %s\n", list.c_str());
    } else {
        std::fputs("trellick: no touchpad can be read\n", stderr);  // the source's warning says why
    }
    for (const auto& w : warnings) std::fprintf(stderr, "%s\n", w.c_str());
}

void catchInterrupts() {
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

// Runs the work and feeds the frames, in arrival order, to the engine (or prints them without
// one) until interrupted; t counts from the first frame.
void feedUntilInterrupted(LoopQueue& queue, std::optional<GestureRun>& run) {
    std::optional<double> first;
    std::deque<LoopQueue::Frame> frames;
    std::deque<std::function<void()>> work;
    while (!interrupted) {
        queue.wait(frames, work);
        for (auto& fn : work) fn();
        work.clear();
        for (auto& f : frames) {
            if (!first) first = f.time;
            double t = std::max(0.0, f.time - *first);
            if (run) {
                run->frame(t, f.fingers);
            } else {
                dumpFrame(t, f.fingers, f.rejected);
            }
        }
        frames.clear();
    }
}

int runLive(const DebugSource& source, const GestureRun::Options& options) {
    auto queue = std::make_shared<LoopQueue>();
    // The source's warnings come after the first line, which says what was opened.
    std::vector<std::string> warnings;
    log::setSink([&warnings](const std::string&, const std::string& m) { warnings.push_back(m); });
    auto touchpads = evdev::EvdevTouchSource::createSystem(queue, {});
    if (source.dumpFrames) {
        touchpads->setRejectedObserver(
            [queue](const std::string&, double, const std::vector<input::RejectedContact>& r) { queue->rejected(r); });
    }
    auto devices = touchpads->deviceList();
    std::vector<TouchDevice> started;
    auto handler = [queue](const TouchContact* f, int n, double t) { queue->frame(f, n, t); };
    for (const auto& d : devices) {
        if (touchpads->startDevice(d, handler)) started.push_back(d);
    }
    log::setSink(nullptr);

    if (started.empty()) {
        reportUnreadable(*touchpads, warnings);
        return 3;
    }
    std::fprintf(stderr, "trellick: reading %s; swipe with three fingers, Ctrl-C to stop\n",
                 deviceNames(started).c_str());
    for (const auto& w : warnings) std::fprintf(stderr, "%s\n", w.c_str());

    touchpads->setHotplugHandler([&](const TouchDevice& d, bool added) {
        if (added && touchpads->startDevice(d, handler)) {
            std::fprintf(stderr, "trellick: reading %s\n", deviceNames({d}).c_str());
        } else if (!added) {
            std::fprintf(stderr, "trellick: %s went away\n", d.id.c_str());
        }
    });

    catchInterrupts();
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // The engine runs on this thread.
    std::optional<GestureRun> run;
    if (!source.dumpFrames) run.emplace(options, stdout);
    feedUntilInterrupted(*queue, run);
    for (const auto& d : started) touchpads->stopDevice(d);
    if (run) run->finish();
    std::fflush(stdout);
    return 0;
}

}  // namespace

int runOtherDebugSource(const DebugSource& source, const GestureRun::Options& options) {
    if (!source.replayFile.empty()) return runReplay(source, options);
    return runLive(source, options);
}

}  // namespace trellick
