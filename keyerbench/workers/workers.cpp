#include "workers/workers.h"

#include "messages/message_player.h"
#include "resources/cwbench_resource.h"
#include "settings/settings.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace cwbench {

std::atomic<unsigned char> mxStatus{0};
std::atomic<unsigned char> mxSpeedPot{0};
std::atomic<int> potLock{0};
std::atomic<int> g_isMX2{0};
std::atomic<int> activeMsg{0};
std::atomic<const char*> lpActiveMsg{nullptr};
std::atomic<int> test_string{0};
std::atomic<int> random_keying{0};
std::atomic<signed char> mxOpen{0};

namespace {

const WorkerEnvironment kNoEnvironment{};
std::atomic<const WorkerEnvironment*> g_env{&kNoEnvironment};

const WorkerEnvironment& env() { return *g_env.load(); }

void post(PostKind kind, int control, long value, unsigned generation = 0) {
    if (PanelPoster* p = env().poster) p->post(PanelPost{kind, control, value, generation});
}
// A character for a window, made while the window's text had generation g.
void append(int control, unsigned char ch, unsigned g) { post(PostKind::Append, control, ch, g); }
void showText(int control, PanelText text) { post(PostKind::ShowText, control, static_cast<long>(text)); }

void sleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Sleeps up to ms, in short slices, and returns early once flag is cleared, so that a
// stopped worker ends at once instead of after its step.
void sleepWhileSet(int ms, const std::atomic<int>& flag) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (flag.load() && std::chrono::steady_clock::now() < until) {
        auto left = until - std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(10)));
    }
}

// The C runtime's generator on Windows: range 0..32767 and, unseeded, the same series in
// every thread and every run.
class CrtRandom {
public:
    int next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }

private:
    std::uint32_t state_ = 1;
};

// Held while a sender looks at its flag and passes one character to the chip.
std::mutex g_sendLock;

// Held around every mx_directkey, mx_key and close, so that nothing presses a contact
// between a close's release and the close itself. g_contacts and g_tuneDown are what the
// chip was last told to hold; they change only under the lock.
std::mutex g_keyLock;
std::atomic<unsigned char> g_contacts{0};
std::atomic<bool> g_tuneDown{false};
std::atomic<unsigned> g_closes{0};

std::atomic<int> g_running{0};
std::atomic<int> g_keyingThreads{0};
std::atomic<int> g_nextTicket{0};
std::atomic<bool> g_loopRunning{false};

// What the open/close loop opens with: mxf's port and registers as the window thread
// last published them.
struct LoopSettings {
    int comPort;
    MXSTATE registers;
};
std::mutex g_publishedLock;
LoopSettings g_published{};

LoopSettings publishedSettings() {
    std::lock_guard<std::mutex> g(g_publishedLock);
    return g_published;
}

// Takes the send or the keying lock, waiting at most timing.keyingReleaseMs: a call stuck
// in the library must not keep the chip from being released and closed. (Polled:
// ThreadSanitizer can't follow a timed lock.)
std::unique_lock<std::mutex> lockWithin(std::mutex& m) {
    std::unique_lock<std::mutex> lock(m, std::try_to_lock);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(env().timing.keyingReleaseMs);
    while (!lock.owns_lock() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        (void)lock.try_lock();
    }
    return lock;
}

// Both contacts and Tune's key up whenever one may be down: when the lock could not be
// had, a press may be on its way, so the releases go out regardless.
void releaseContacts(Keyer& k, const std::unique_lock<std::mutex>& lock) {
    if (g_contacts.exchange(0) != 0 || !lock.owns_lock()) k.mx_directkey(0);
    if (g_tuneDown.exchange(false) || !lock.owns_lock()) k.mx_key(0);
}

void stopSendersAndTests() {
    activeMsg.store(0);
    test_string.store(0);
    random_keying.store(0);
}

bool startWorker(void (*proc)(void*), void* arg) {
    ++g_running;
    try {
        std::thread([proc, arg] {
            proc(arg);
            --g_running;
        }).detach();
        return true;
    } catch (const std::system_error&) {
        --g_running;
        return false;
    }
}

// A message being played: its ticket and its own copy of the text.
struct PlayJob {
    int ticket;
    char text[kMsgBufSize];
};

// The player's output: the chip, the keyboard window, 5 ms waits.
class ChipOutput final : public MessageOutput {
public:
    explicit ChipOutput(int ticket) : ticket_(ticket) {}
    bool held() override {
        Keyer* k = env().keyer;
        return k && k->mx_xoff() != 0;
    }
    void send(unsigned char byte) override { sendBytes(&byte, 1); }
    void sendBytes(const unsigned char* bytes, std::size_t count) override {
        std::lock_guard<std::mutex> g(g_sendLock);
        Keyer* k = env().keyer;
        if (!k || activeMsg.load() != ticket_) return;
        for (std::size_t i = 0; i < count; ++i) k->mx_char(bytes[i]);
    }
    void echo(unsigned char ch) override {
        // The generation first: a ClearBuf that stopped this message after it was taken
        // either made it stale or is seen below.
        const unsigned g = windowGeneration(INBOUND);
        if (activeMsg.load() == ticket_) append(INBOUND, ch, g);
    }
    void waitStep() override { sleepMs(env().timing.holdStepMs); }

private:
    int ticket_;
};

const char* messageMemory(int number) {
    switch (number) {
    case 1: return mxf.msg1Buf;
    case 2: return mxf.msg2Buf;
    case 3: return mxf.msg3Buf;
    case 4: return mxf.msg4Buf;
    default: return nullptr;
    }
}

// A pushbutton report from an MX2 chip: the first button bit names the button.
void pushbuttonReport(unsigned char status) {
    static const struct {
        unsigned char bit;
        PanelText text;
    } buttons[] = {{KPB1, PanelText::PB1}, {KPB2, PanelText::PB2}, {KPB3, PanelText::PB3}, {KPB4, PanelText::PB4}};
    for (int i = 0; i < 4; ++i) {
        if (!(status & buttons[i].bit)) continue;
        showText(IDTUNESTAT, buttons[i].text);
        // The window thread starts the player, as the Play command does, so that only
        // one thread ever starts players; it looks at activeMsg again when it gets there.
        if (activeMsg.load() == 0) post(PostKind::PlayMessage, 0, i + 1);
        return;
    }
    showText(IDTUNESTAT, PanelText::ThreeBlanks);
}

void statusReport(unsigned char status) {
    static const struct {
        int control;
        unsigned char bit;
        PanelText word;
    } indicators[] = {{IDXOFF, XOFF, PanelText::Xoff},
                      {IDBREAKIN, BREAKIN, PanelText::BrkIn},
                      {IDBUSY, KBUSY, PanelText::Busy},
                      {IDTUNESTAT, KTUNE, PanelText::Tune},
                      {IDWAIT, KWAIT, PanelText::Wait}};
    for (const auto& ind : indicators) {
        bool set = (status & ind.bit) != 0;
        showText(ind.control, set ? ind.word : PanelText::Blank);
        // Paddle break-in stops a playing message.
        if (ind.bit == BREAKIN && set) activeMsg.store(0);
    }
}

}  // namespace

void setWorkerEnvironment(const WorkerEnvironment* e) { g_env.store(e ? e : &kNoEnvironment); }

int MXAPI mxCallBack(int lCmd, int lParam) {
    const unsigned char low = static_cast<unsigned char>(lParam & 0xFF);
    switch (lCmd) {
    case CB_STATUS:
        mxStatus.store(low);
        if (g_isMX2.load() && (low & KPBSTAT))
            pushbuttonReport(low);
        else
            statusReport(low);
        return 1;
    case CB_SPEEDPOT:
        mxSpeedPot.store(low);
        if (potLock.load()) {
            post(PostKind::SpeedPot, 0, low);
            if (Keyer* k = env().keyer) k->mx_wpm(low);
        }
        return 1;
    case CB_ECHOBACK:
        append(OUTBOUND, low, windowGeneration(OUTBOUND));
        return 1;
    default:
        return 0;
    }
}

void msgThread(void* arg) {
    std::unique_ptr<PlayJob> job(static_cast<PlayJob*>(arg));
    ChipOutput out(job->ticket);
    playMessage(job->text, sizeof job->text, activeMsg, out, job->ticket);
}

void testThread(void*) {
    CrtRandom random;
    while (test_string.load()) {
        int index;
        do index = random.next();
        while (index > 42);
        Keyer* k = env().keyer;
        if (!k) break;
        if (k->mx_xoff()) {
            sleepMs(env().timing.holdStepMs);
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(testChars[index]);
        // As the player's echo: the generation before the flag.
        const unsigned g = windowGeneration(INBOUND);
        {
            std::lock_guard<std::mutex> lock(g_sendLock);
            if (!test_string.load()) break;
            k->mx_char(c);
        }
        append(INBOUND, c, g);
    }
}

// Counted in g_keyingThreads from its start (by toggleKeyingTest) to its end. Each press
// looks at the flag under the keying lock, so none follows a close that cleared it.
void keyingThread(void*) {
    CrtRandom random;
    Keyer* k = env().keyer;
    while (k) {
        {
            std::lock_guard<std::mutex> lock(g_keyLock);
            if (!random_keying.load()) break;
            const unsigned char contacts = static_cast<unsigned char>(random.next() & 3);
            k->mx_directkey(contacts);
            g_contacts.store(contacts);
        }
        sleepWhileSet(env().timing.keyingStepMs, random_keying);
    }
    if (k) directKey(*k, 0);
    --g_keyingThreads;
}

void ptrTestThread(void*) {
    Keyer* k = env().keyer;
    if (!k) return;
    // A chip that stays busy this long (or a closed one whose last status said busy)
    // gets no test: its buffer positions would mean nothing.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(env().timing.busyPatienceMs);
    while (mxStatus.load() & KBUSY) {
        if (std::chrono::steady_clock::now() >= giveUp) return;
        sleepMs(env().timing.busyPollMs);
    }
    // One burst under the send lock: a close never comes between its bytes and clears
    // the buffer before the port closes.
    const std::unique_lock<std::mutex> sending = lockWithin(g_sendLock);
    k->mx_ptr_reset();
    for (char c : {'Q', '2', 'Z'}) k->mx_char(static_cast<unsigned char>(c));
    k->mx_load_nulls(10);
    for (char c : {' ', '5', 'N', 'N', ' ', 'N', 'H'}) k->mx_char(static_cast<unsigned char>(c));
    k->mx_setptr_ovr(3);
    for (char c : {'X', '/', '1'}) k->mx_char(static_cast<unsigned char>(c));
    k->mx_setptr_ins(20);
}

void initLoopThread(void*) {
    Keyer* k = env().keyer;
    const WorkerTiming& t = env().timing;
    for (int pass = 0; k && pass < 1000; ++pass) {
        // The record as it is now: a Comm choice or an Update made during the loop counts
        // from this pass on.
        const LoopSettings s = publishedSettings();
        unsigned char revision = 0;
        if (k->mx_open(&revision, static_cast<unsigned char>(s.comPort & 0xFF)) != MX_SUCCESS) {
            post(PostKind::LoopFailed, 0, pass);
            break;
        }
        post(PostKind::FillFromRecord, 0, 0);
        k->mx_send_defaults(&s.registers);
        post(PostKind::LoopOpened, 0, static_cast<long>(pass) * 256 + revision);
        showText(IDOPENSTAT, PanelText::Open);
        k->mx_getpot();
        mxOpen.store(1);
        sleepMs(t.loopDwellMs);
        // Tune, DIT, DAH, the keying test or a message may be keying: all stop first.
        closeChip(*k);
        showText(IDOPENSTAT, PanelText::Closed);
        showText(MXSERIAL, PanelText::Blank);
        mxOpen.store(0);
        sleepMs(t.loopDwellMs);
        sleepMs(t.loopPassMs);
    }
    g_loopRunning.store(false);
}

bool startMessage(int number) {
    const char* memory = messageMemory(number);
    if (!memory || activeMsg.load() != 0) return false;
    auto job = std::make_unique<PlayJob>();
    std::memcpy(job->text, memory, sizeof job->text);
    // Tickets are never 0 (no message) and never repeat within a run.
    int ticket = ++g_nextTicket;
    if (ticket <= 0) ticket = g_nextTicket = 1;
    job->ticket = ticket;
    lpActiveMsg.store(memory);
    activeMsg.store(ticket);
    if (!startWorker(msgThread, job.get())) {
        activeMsg.store(0);
        return false;
    }
    job.release();
    return true;
}

void toggleKeyingTest() {
    if (random_keying.load()) {
        random_keying.store(0);
        return;
    }
    random_keying.store(1);
    ++g_keyingThreads;
    if (!startWorker(keyingThread, nullptr)) {
        --g_keyingThreads;
        random_keying.store(0);
    }
}

void toggleRandomTest() {
    if (test_string.load()) {
        test_string.store(0);
        return;
    }
    test_string.store(1);
    if (!startWorker(testThread, nullptr)) test_string.store(0);
}

bool startPtrTest() { return startWorker(ptrTestThread, nullptr); }

bool startInitLoop() {
    if (g_loopRunning.exchange(true)) return false;
    publishSettings();
    if (!startWorker(initLoopThread, nullptr)) {
        g_loopRunning.store(false);
        return false;
    }
    return true;
}

void stopSenders() { (void)lockWithin(g_sendLock); }

void publishSettings() {
    std::lock_guard<std::mutex> g(g_publishedLock);
    g_published = LoopSettings{mxf.comPort, mxf.mxState};
}

void directKey(Keyer& k, unsigned char contacts) {
    std::lock_guard<std::mutex> lock(g_keyLock);
    k.mx_directkey(contacts);
    g_contacts.store(contacts);
}

void tuneKey(Keyer& k, bool down) {
    std::lock_guard<std::mutex> lock(g_keyLock);
    k.mx_key(down ? 1 : 0);
    g_tuneDown.store(down);
}

void sendTyped(Keyer& k, unsigned char c) {
    const std::unique_lock<std::mutex> sending = lockWithin(g_sendLock);
    k.mx_char(c);
}

void clearChipBuffer(Keyer& k) {
    k.mx_clearbuf();
    k.mx_char(BUFPTT_CMD);
    k.mx_char(0);
}

int closeChip(Keyer& k) {
    const bool open = mxOpen.load() != 0;
    if (open) stopSendersAndTests();
    const std::unique_lock<std::mutex> sending = lockWithin(g_sendLock);
    const std::unique_lock<std::mutex> keying = lockWithin(g_keyLock);
    releaseContacts(k, keying);
    if (open) {
        clearChipBuffer(k);
        sleepMs(env().timing.pttSettleMs);
    }
    const int result = k.mx_close();
    ++g_closes;
    if (result != MX_NOT_OPEN) {
        stopSendersAndTests();  // also when the panel didn't know the chip was open
        // A closed chip reports nothing more, so its last status would stand.
        for (int indicator : {IDXOFF, IDBREAKIN, IDBUSY, IDTUNESTAT, IDWAIT}) showText(indicator, PanelText::Blank);
    }
    return result;
}

void closeChipAtExit(Keyer& k) {
    stopSendersAndTests();
    awaitKeyingReleased();
    closeChip(k);
    mxOpen.store(0);
}

unsigned chipCloses() { return g_closes.load(); }

bool awaitKeyingReleased() {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(env().timing.keyingReleaseMs);
    while (g_keyingThreads.load() > 0) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

int workersRunning() { return g_running.load(); }

bool waitForWorkers(std::chrono::milliseconds bound) {
    auto until = std::chrono::steady_clock::now() + bound;
    while (g_running.load() > 0) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace cwbench
