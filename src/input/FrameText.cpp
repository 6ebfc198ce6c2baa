#include "input/FrameText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "common/Text.h"
#include "input/ReaderSupport.h"

namespace trellick::input {

std::string framesLine(double time, const TouchContact* fingers, int count) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", time);
    std::string line = buf;
    for (int i = 0; i < count; ++i) {
        std::snprintf(buf, sizeof buf, " %.9g %.9g", double(fingers[i].x), double(fingers[i].y));
        line += buf;
    }
    return line;
}

std::string rejectedLine(const std::vector<RejectedContact>& rejected) {
    std::string line;
    char buf[64];
    for (const auto& r : rejected) {
        line += line.empty() ? "# not fingers: " : "; ";
        std::snprintf(buf, sizeof buf, "%s at %.6g %.6g, ", r.thumb ? "thumb" : "palm", double(r.x), double(r.y));
        line += buf;
        line += describe(r.evidence);
    }
    return line;
}

std::vector<ScenarioItem> readScenarioText(std::string_view text, const std::string& file) {
    using namespace detail;
    std::vector<ScenarioItem> items;
    Lines lines(text);
    std::string_view raw;
    double last = -std::numeric_limits<double>::infinity();
    while (lines.next(raw)) {
        auto hash = raw.find('#');
        auto t = tokens(hash == std::string_view::npos ? raw : raw.substr(0, hash));
        if (t.empty()) continue;
        auto number = [&](std::string_view s, double& v) {
            std::string str(s);
            char* end = nullptr;
            v = std::strtod(str.c_str(), &end);
            return end && *end == '\0' && !str.empty() && std::isfinite(v);
        };
        auto bad = [&](const std::string& what) { fail(file, lines.number(), what); };
        ScenarioItem item;
        if (!number(t[0], item.time)) bad(text::quoted(t[0]) + " is not a time in seconds");
        if (item.time < last) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%g", last);
            bad("time " + text::quoted(t[0]) + " goes backwards (the line before was at " + buf + ")");
        }
        last = item.time;
        if (t.size() >= 2 && t[1] == "escape") {
            if (t.size() > 2) bad("'escape' stands alone after the time, but " + text::quoted(t[2]) + " follows it");
            item.escape = true;
        } else {
            if (t.size() % 2 == 0) bad("contacts come as X Y pairs, but an X has no Y");
            if ((t.size() - 1) / 2 > 64) bad("more than 64 contacts in one frame");
            for (std::size_t i = 1; i + 1 < t.size(); i += 2) {
                double x, y;
                if (!number(t[i], x)) bad(text::quoted(t[i]) + " is not a number");
                if (!number(t[i + 1], y)) bad(text::quoted(t[i + 1]) + " is not a number");
                TouchContact m;
                m.trackingId = m.slot = static_cast<int>(i / 2);
                m.x = float(x);
                m.y = float(y);
                item.fingers.push_back(m);
            }
        }
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<Frame> readFramesText(std::string_view text, const std::string& file) {
    std::vector<Frame> frames;
    for (auto& item : readScenarioText(text, file)) {
        if (!item.escape) frames.push_back({item.time, std::move(item.fingers), {}});
    }
    return frames;
}

bool looksLikeScenario(std::string_view text) {
    detail::Lines lines(text);
    std::string_view raw;
    while (lines.next(raw)) {
        auto t = detail::tokens(raw);
        if (t.empty() || t[0][0] == '#') continue;
        std::string first(t[0]);
        char* end = nullptr;
        std::strtod(first.c_str(), &end);
        return end != first.c_str() && *end == '\0';
    }
    return false;
}

std::vector<Frame> loadFramesFile(const std::string& path) {
    std::string text = readTextFile(path, "the file");
    if (looksLikeScenario(text)) return readFramesText(text, path);
    return assembleFrames(recordingFromText(text, path));
}

namespace {

void event(std::ostream& out, double t, int type, int code, int value) {
    char buf[96];
    long long us = std::llround(t * 1e6);
    std::snprintf(buf, sizeof buf, "E: %lld.%06lld %04x %04x %d\n", us / 1000000, us % 1000000, type, code, value);
    out << buf;
}

// The BTN_TOOL_* key that stands for n fingers (0 for none).
int toolFor(int n) {
    switch (n) {
    case 0:
        return 0;
    case 1:
        return BTN_TOOL_FINGER;
    case 2:
        return BTN_TOOL_DOUBLETAP;
    case 3:
        return BTN_TOOL_TRIPLETAP;
    case 4:
        return BTN_TOOL_QUADTAP;
    default:
        return BTN_TOOL_QUINTTAP;
    }
}

// evemu bitmask lines for one event type.
void mask(std::ostream& out, int type, const std::vector<int>& codes, int bytes) {
    std::vector<unsigned> b(std::size_t(bytes), 0);
    for (int c : codes) b[std::size_t(c / 8)] |= 1u << (c % 8);
    for (int i = 0; i < bytes; i += 8) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "B: %02x %02x %02x %02x %02x %02x %02x %02x %02x\n", type, b[i], b[i + 1],
                      b[i + 2], b[i + 3], b[i + 4], b[i + 5], b[i + 6], b[i + 7]);
        out << buf;
    }
}

// The header: the comment's lines, then the device, a button pad of pad's size and slots.
void writeEvemuHeader(std::ostream& out, const SynthPad& pad, const std::string& comment) {
    out << "# EVEMU 1.3\n";
    for (std::size_t b = 0, e; b < comment.size(); b = e + 1) {
        e = comment.find('\n', b);
        if (e == std::string::npos) e = comment.size();
        out << "# " << comment.substr(b, e - b) << "\n";
    }
    out << "N: " << pad.name << "\n";
    out << "I: 0018 0000 0000 0001\n";
    out << "P: 05 00 00 00 00 00 00 00\n";  // pointer, button pad
    mask(out, EV_SYN, {SYN_REPORT, SYN_DROPPED}, 8);
    mask(out, EV_KEY,
         {BTN_LEFT, BTN_TOOL_FINGER, BTN_TOOL_QUINTTAP, BTN_TOUCH, BTN_TOOL_DOUBLETAP, BTN_TOOL_TRIPLETAP,
          BTN_TOOL_QUADTAP},
         96);
    mask(out, EV_ABS, {ABS_X, ABS_Y, ABS_MT_SLOT, ABS_MT_POSITION_X, ABS_MT_POSITION_Y, ABS_MT_TRACKING_ID}, 8);
    char buf[96];
    for (auto [code, max] : {std::pair{ABS_X, pad.width},
                             {ABS_Y, pad.height},
                             {ABS_MT_SLOT, pad.slotCount - 1},
                             {ABS_MT_POSITION_X, pad.width},
                             {ABS_MT_POSITION_Y, pad.height},
                             {ABS_MT_TRACKING_ID, 65535}}) {
        std::snprintf(
            buf, sizeof buf, "A: %02x 0 %d 0 0 %d\n", code, max,
            code == ABS_X || code == ABS_MT_POSITION_X || code == ABS_Y || code == ABS_MT_POSITION_Y ? 30 : 0);
        out << buf;
    }
}

}  // namespace

void writeEvemu(std::ostream& out, const std::vector<Frame>& frames, const SynthPad& pad, double startTime,
                const std::string& comment) {
    writeEvemuHeader(out, pad, comment);
    struct SlotState {
        int id = -1, x = -1, y = -1;
    };
    std::vector<SlotState> slots(std::size_t(pad.slotCount));
    int current = 0, nextId = 1, lastCount = 0;
    for (const auto& f : frames) {
        double t = startTime + f.time;
        int count = std::min<int>(int(f.fingers.size()), pad.slotCount);
        auto select = [&](int s) {
            if (s != current) event(out, t, EV_ABS, ABS_MT_SLOT, s);
            current = s;
        };
        for (int s = 0; s < pad.slotCount; ++s) {
            SlotState& st = slots[std::size_t(s)];
            if (s >= count) {
                if (st.id >= 0) {
                    select(s);
                    event(out, t, EV_ABS, ABS_MT_TRACKING_ID, -1);
                    st.id = -1;
                }
                continue;
            }
            int x = int(std::lround(double(f.fingers[std::size_t(s)].x) * pad.width));
            int y = int(std::lround((1.0 - double(f.fingers[std::size_t(s)].y)) * pad.height));
            if (st.id < 0) {
                select(s);
                st.id = nextId++;
                event(out, t, EV_ABS, ABS_MT_TRACKING_ID, st.id);
                st.x = st.y = -1;
            }
            if (x != st.x) {
                select(s);
                event(out, t, EV_ABS, ABS_MT_POSITION_X, x);
            }
            if (y != st.y) {
                select(s);
                event(out, t, EV_ABS, ABS_MT_POSITION_Y, y);
            }
            st.x = x;
            st.y = y;
        }
        if (count != lastCount) {
            if ((count > 0) != (lastCount > 0)) event(out, t, EV_KEY, BTN_TOUCH, count > 0 ? 1 : 0);
            if (lastCount > 0) event(out, t, EV_KEY, toolFor(lastCount), 0);
            if (count > 0) event(out, t, EV_KEY, toolFor(count), 1);
            lastCount = count;
        }
        event(out, t, EV_SYN, SYN_REPORT, 0);
    }
}

}  // namespace trellick::input
