// echo-insert-bench: what one echoed character costs the Outgoing Morse Window, under
// Windows or Wine. An edit with that window's styles takes 20,000 single characters, once
// as a bare EM_REPLACESEL and once through the panel (Panel::applyAll, as posts from the
// callback arrive one at a time), then the same characters arriving in runs of eight (the
// window thread takes every post waiting, so a fast chip's echoes come in together).
// Prints the median and the 99th percentile of each, in microseconds per character (each
// measured twice, in turn).
#include "keyerlib/recording/recording_keyer.h"
#include "panel/panel.h"
#include "platform/win32/win32_dialog.h"
#include "resources/cwbench_resource.h"
#include "workers/panel_post.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCharacters = 20000;

class NoWindow final : public cwbench::PanelWindow {
public:
    void passBackspace() override {}
    void postQuit() override {}
    void commPortChanged() override {}
};

HWND makeEdit(HWND parent) {
    SetWindowTextA(GetDlgItem(parent, OUTBOUND), "");
    DestroyWindow(GetDlgItem(parent, OUTBOUND));
    return CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                           WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL, 10, 10, 300,
                           90, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(OUTBOUND)), nullptr, nullptr);
}

// Lets the edit paint, as the window thread would between posts.
void pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

template <typename Insert>
void measure(const char* what, int run, Insert insert) {
    std::vector<double> perCharacter;
    for (int sent = 0; sent < kCharacters; sent += run) {
        const auto start = Clock::now();
        insert(sent, run);
        perCharacter.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() / run);
        pump();
    }
    std::sort(perCharacter.begin(), perCharacter.end());
    std::printf("%-40s p50 %7.1f us  p99 %7.1f us per character\n", what, perCharacter[perCharacter.size() / 2],
                perCharacter[perCharacter.size() * 99 / 100]);
}

char echoed(int i) { return (i % 40 == 39) ? '\n' : static_cast<char>('A' + i % 26); }

}  // namespace

int main() {
    HWND parent = CreateWindowExA(0, "STATIC", "echo-insert-bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 340, 160,
                                  nullptr, nullptr, nullptr, nullptr);
    cwbench::Win32Dialog dialog(parent);
    cwbench::RecordingKeyer keyer;
    NoWindow window;
    cwbench::Panel panel(dialog, keyer, window);
    // Each twice, in turn, so that neither gains from going second.
    for (int run : {1, 1, 8, 8}) {
        char title[64];
        HWND edit = makeEdit(parent);
        std::snprintf(title, sizeof title, "bare EM_REPLACESEL, runs of %d", run);
        measure(title, run, [&](int first, int count) {
            char text[9] = {};
            for (int i = 0; i < count; ++i) text[i] = echoed(first + i);
            SendMessageA(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
        });
        makeEdit(parent);
        std::snprintf(title, sizeof title, "through the panel, runs of %d", run);
        measure(title, run, [&](int first, int count) {
            std::vector<cwbench::PanelPost> posts;
            for (int i = 0; i < count; ++i)
                posts.push_back({cwbench::PostKind::Append, OUTBOUND, static_cast<unsigned char>(echoed(first + i)),
                                 cwbench::windowGeneration(OUTBOUND)});
            panel.applyAll(posts);
        });
    }
    DestroyWindow(parent);
    return 0;
}
