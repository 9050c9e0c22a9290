#include "workers/panel_post.h"

namespace cwbench {

const char* panelText(PanelText t) {
    static const char* const texts[] = {" ",    "   ",  "Busy", "Xoff", "BrkIn", "Wait", "Tune",
                                        "PB1",  "PB2",  "PB3",  "PB4",  "Open",  "Closed"};
    static_assert(sizeof texts / sizeof texts[0] == static_cast<int>(PanelText::Count));
    int i = static_cast<int>(t);
    return (i >= 0 && i < static_cast<int>(PanelText::Count)) ? texts[i] : " ";
}

bool PanelPostQueue::push(const PanelPost& p) {
    std::lock_guard<std::mutex> g(lock_);
    if (posts_.size() >= kMaxQueued) return false;
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
