#include "workers/panel_post.h"

namespace cwbench {

const char* panelText(PanelText t) {
    static const char* const texts[] = {" ",    "   ",  "Busy", "Xoff", "BrkIn", "Wait", "Tune",
                                        "PB1",  "PB2",  "PB3",  "PB4",  "Open",  "Closed"};
    static_assert(sizeof texts / sizeof texts[0] == static_cast<int>(PanelText::Count));
    int i = static_cast<int>(t);
    return (i >= 0 && i < static_cast<int>(PanelText::Count)) ? texts[i] : " ";
}

PackedPost packPost(const PanelPost& p) {
    // wParam: kind in bits 16..23, control id in bits 0..15; lParam: the value.
    unsigned long long w = (static_cast<unsigned long long>(p.kind) & 0xFF) << 16 |
                           (static_cast<unsigned long long>(p.control) & 0xFFFF);
    return PackedPost{w, static_cast<long long>(p.value)};
}

bool unpackPost(unsigned long long wParam, long long lParam, PanelPost& p) {
    int kind = static_cast<int>((wParam >> 16) & 0xFF);
    if ((wParam >> 24) != 0 || kind >= static_cast<int>(PostKind::Count)) return false;
    p.kind = static_cast<PostKind>(kind);
    p.control = static_cast<int>(wParam & 0xFFFF);
    p.value = static_cast<long>(lParam);
    return true;
}

}  // namespace cwbench
