#include "workers/panel_post.h"

#include "resources/cwbench_resource.h"

#include <atomic>

namespace cwbench {

const char* panelText(PanelText t) {
    static const char* const texts[] = {" ",    "   ",  "Busy", "Xoff", "BrkIn", "Wait", "Tune",
                                        "PB1",  "PB2",  "PB3",  "PB4",  "Open",  "Closed"};
    static_assert(sizeof texts / sizeof texts[0] == static_cast<int>(PanelText::Count));
    int i = static_cast<int>(t);
    return (i >= 0 && i < static_cast<int>(PanelText::Count)) ? texts[i] : " ";
}

namespace {

std::atomic<unsigned> g_inboundGeneration{0};
std::atomic<unsigned> g_outboundGeneration{0};

std::atomic<unsigned>* generationOf(int control) {
    switch (control) {
    case INBOUND: return &g_inboundGeneration;
    case OUTBOUND: return &g_outboundGeneration;
    default: return nullptr;
    }
}

}  // namespace

unsigned windowGeneration(int control) {
    const std::atomic<unsigned>* g = generationOf(control);
    return g ? g->load() : 0;
}

void newWindowGeneration(int control) {
    if (std::atomic<unsigned>* g = generationOf(control)) ++*g;
}

bool PanelPostQueue::push(const PanelPost& p, bool* dropped) {
    std::lock_guard<std::mutex> g(lock_);
    const bool full = posts_.size() >= kMaxQueued;
    if (dropped) *dropped = full;
    if (full) return false;
    posts_.push_back(p);
    if (scheduled_) return false;
    scheduled_ = true;
    return true;
}

std::vector<PanelPost> PanelPostQueue::take() {
    std::vector<PanelPost> out;
    std::lock_guard<std::mutex> g(lock_);
    out.swap(posts_);
    if (out.empty()) scheduled_ = false;
    return out;
}

void PanelPostQueue::wakeFailed() {
    std::lock_guard<std::mutex> g(lock_);
    scheduled_ = false;
}

}  // namespace cwbench
