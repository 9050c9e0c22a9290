// A control panel, the callback and the workers wired to recording fakes: a dialog in
// memory, a keyer library that records its calls, files in memory, and a queue of posts
// that the test carries to the panel itself, standing in for the window thread.
#pragma once

#include "keyerlib/recording/recording_keyer.h"
#include "messages/token_parser.h"
#include "panel/panel.h"
#include "platform/recording/recording_dialog.h"
#include "platform/recording/recording_platform.h"
#include "resources/cwbench_resource.h"
#include "settings/settings.h"
#include "test_support.h"
#include "workers/workers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace cwbench::test {

// Posts queue up until the test delivers them, as the window thread's queue would.
class QueuePoster final : public PanelPoster {
public:
    bool post(const PanelPost& p) override {
        queue_.push(p);
        return true;
    }
    std::vector<PanelPost> take() { return queue_.take(); }

private:
    PanelPostQueue queue_;
};

class FakePanelWindow final : public PanelWindow {
public:
    int backspaces = 0, quits = 0, portChanges = 0;
    void passBackspace() override { ++backspaces; }
    void postQuit() override { ++quits; }
    void commPortChanged() override { ++portChanges; }
};

inline constexpr char kStateFile[] = "cwbench.cfg";

// Every global back to its start value.
inline void resetGlobals() {
    std::memset(&mxf, 0, sizeof mxf);
    mxStatus = 0;
    mxSpeedPot = 0;
    potLock = 0;
    g_isMX2 = 0;
    activeMsg = 0;
    lpActiveMsg = nullptr;
    test_string = 0;
    random_keying = 0;
    mxOpen = 0;
    mxDirect = 0;
    mxPause = 0;
    mxTune = 0;
    poState = PO_CHAR;
}

class BenchTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetGlobals();
        setConfigName(kStateFile);
        env.keyer = &keyer;
        env.poster = &poster;
        env.timing.holdStepMs = 1;
        env.timing.keyingStepMs = 5;
        env.timing.loopDwellMs = 1;
        env.timing.busyPollMs = 1;
        env.timing.busyPatienceMs = 200;
        env.timing.pttSettleMs = 1;
        setWorkerEnvironment(&env);
    }
    void TearDown() override {
        activeMsg = 0;
        test_string = 0;
        random_keying = 0;
        EXPECT_TRUE(waitForWorkers(std::chrono::seconds(10))) << "a worker did not end";
        setWorkerEnvironment(nullptr);
    }
    // Delivers the posts waiting, as the window thread would.
    void deliverPosts() {
        for (const PanelPost& p : poster.take()) panel.apply(p);
    }
    // The panel opened on a chip of this revision, with the record's defaults loaded;
    // the calls so far forgotten.
    void openChip(int revision) {
        loadConfigFile();
        panel.init();
        keyer.revision = revision;
        panel.command(IDOPEN, 0);
        keyer.clear();
        dlg.log.clear();
        files.clearBoxes();
        poster.take();
    }
    std::vector<std::string> calls() const { return keyer.calls(); }

    RecordingPlatform files;
    PlatformScope scope{files};
    RecordingKeyer keyer;
    QueuePoster poster;
    WorkerEnvironment env;
    RecordingDialog dlg;
    FakePanelWindow window;
    Panel panel{dlg, keyer, window};
};

}  // namespace cwbench::test
