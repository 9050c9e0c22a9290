#include "chip.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace keyersim {

namespace {

constexpr double kNever = std::numeric_limits<double>::infinity();
constexpr double kButtonReleaseMs = 100;

bool takesArgument(unsigned char b) {
    return b == BUFPTT_CMD || b == BUFKEY_CMD || b == WAIT_CMD || b == BUFSPEED_CMD;
}

bool isWordSpace(unsigned char b) { return b == ' ' || b == '\r' || b == '\n'; }

int buttonBit(int button) {
    static const int bits[] = {KPB1, KPB2, KPB3, KPB4};
    return bits[button - 1];
}

}  // namespace

double Clock::nowMs() const {
    std::chrono::duration<double, std::milli> d = std::chrono::steady_clock::now() - epoch_;
    return d.count() * scale_;
}

std::chrono::steady_clock::time_point Clock::wallAt(double chipMs) const {
    auto wall = std::chrono::duration<double, std::milli>(chipMs / scale_);
    return epoch_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(wall);
}

Chip::Chip(const Config& config, const Clock& clock, Trace& trace, Deliver deliver)
    : config_(config),
      clock_(clock),
      trace_(trace),
      reporter_(std::make_shared<Reporter>(std::move(deliver))) {
    double opened = clock_.nowMs();
    jobEnd_ = opened;
    if (isMx2()) {
        std::vector<ButtonEvent> b;
        for (const ButtonPress& p : config_.buttons) {
            b.push_back(ButtonEvent{opened + p.atMs, KPBSTAT | buttonBit(p.button)});
            b.push_back(ButtonEvent{opened + p.atMs + kButtonReleaseMs, KPBSTAT});
        }
        std::stable_sort(b.begin(), b.end(),
                         [](const ButtonEvent& x, const ButtonEvent& y) { return x.at < y.at; });
        buttons_.assign(b.begin(), b.end());
    }
}

Chip::~Chip() { stop(); }

// Returns once the keying thread runs at its raised priority, so that even the first
// edge isn't left waiting for a new thread to be scheduled on a busy machine.
void Chip::start() {
    reporter_->start();
    std::unique_lock<std::mutex> lk(m_);
    thread_ = std::thread([this] { run(); });
    cv_.wait(lk, [this] { return running_; });
}

void Chip::stop() {
    {
        std::lock_guard<std::mutex> g(m_);
        if (stopping_) return;
        stopping_ = true;
        double now = clock_.nowMs();
        steps_.clear();
        jobKey_ = tune_ = paddle_ = false;
        setKeyLine(now, now);
        if (ptt_) {
            ptt_ = false;
            trace_.add(now, Ev::PttOff, 0);
        }
    }
    reporter_->close();
    cv_.notify_all();
    // The keying thread runs none of the caller's code and holds the lock only briefly,
    // so joining it is bounded.
    if (thread_.joinable()) thread_.join();
}

void Chip::run() {
    raiseKeyingThread();
    std::unique_lock<std::mutex> lk(m_);
    running_ = true;
    cv_.notify_all();
    while (!stopping_) {
        advance(clock_.nowMs());
        if (!outbox_.empty()) {
            // Handed over after the edges are made and without the chip's lock: the
            // reporter's lock is also taken by callers (mx_getpot), and one of them
            // losing the CPU while holding it must not hold up an edge.
            std::vector<std::pair<int, int>> reports;
            reports.swap(outbox_);
            lk.unlock();
            for (const auto& r : reports) post(r.first, r.second);
            lk.lock();
            continue;
        }
        double next = nextWake();
        if (next == kNever)
            cv_.wait(lk);
        else
            cv_.wait_until(lk, clock_.wallAt(next));
    }
}

double Chip::nextWake() const {
    double next = kNever;
    if (!steps_.empty()) next = steps_.front().at;
    else if (job_ != Job::None) next = jobEnd_;
    if (!buttons_.empty()) next = std::min(next, buttons_.front().at);
    return next;
}

void Chip::advance(double now) {
    for (;;) {
        while (!steps_.empty() && steps_.front().at <= now) {
            Step s = steps_.front();
            steps_.pop_front();
            apply(s, clock_.nowMs());
        }
        if (job_ != Job::None) {
            if (!steps_.empty() || jobEnd_ > now) break;
            job_ = Job::None;
        }
        // Reported per byte, so that a thread catching up after a late wake still shows
        // every wait, key-down and busy spell.
        updateStatus();
        if (!startNext(now)) break;
        updateStatus();
    }
    while (!buttons_.empty() && buttons_.front().at <= now) {
        ButtonEvent b = buttons_.front();
        buttons_.pop_front();
        trace_.add(b.at, Ev::Button, b.bits, b.bits == KPBSTAT ? "released" : "pressed");
        queue(CB_STATUS, b.bits);
    }
    updateStatus();
}

int Chip::currentWpm() const {
    int wpm = speedOverride_ >= 0 ? speedOverride_ : regs_.speed;
    return wpm == 0 ? config_.potWpm : wpm;
}

// Takes the next byte (and its argument) from the buffer and lays out its timeline from
// the later of the previous byte's end and its own arrival. False when nothing can start.
bool Chip::startNext(double now) {
    if (buf_.empty() || paused_ || tune_ || paddle_) return false;
    unsigned char b = buf_.front().byte;
    if (takesArgument(b) && buf_.size() < 2) return false;
    double at = std::max(jobEnd_, buf_.front().arrived);
    unsigned char arg = takesArgument(b) ? buf_[1].byte : 0;
    takeFront(takesArgument(b) ? 2 : 1);

    char detail[32] = "";
    if (takesArgument(b)) std::snprintf(detail, sizeof detail, "arg %d", arg);
    trace_.addScheduled(at, now, Ev::Byte, b, detail);

    jobEnd_ = at;
    switch (b) {
    case 0:
        return true;
    case BUFPTT_CMD:
        steps_.push_back(Step{at, arg ? StepKind::PttOn : StepKind::PttOff, 0});
        job_ = Job::Char;
        return true;
    case BUFKEY_CMD:
        steps_.push_back(Step{at, StepKind::KeyDown, 0});
        steps_.push_back(Step{at + arg * 1000.0, StepKind::KeyUp, 0});
        jobEnd_ = at + arg * 1000.0;
        job_ = Job::Key;
        return true;
    case WAIT_CMD:
        jobEnd_ = at + arg * 1000.0;
        job_ = Job::Wait;
        return true;
    case MERGE_CMD:
        mergeNext_ = true;
        return true;
    case BUFSPEED_CMD:
        speedOverride_ = arg;
        return true;
    case CANCELSPD_CMD:
        speedOverride_ = -1;
        return true;
    default:
        break;
    }
    int wpm = currentWpm();
    Timing t = timingFor(regs_, wpm);
    noteFarnsworth(at, t, wpm);
    job_ = Job::Char;
    if (isWordSpace(b)) {
        jobEnd_ = at + wordSpace(t);
        steps_.push_back(Step{jobEnd_, StepKind::Echo, b});
        return true;
    }
    const char* code = morseCode(b);
    if (!code) {
        steps_.push_back(Step{at, StepKind::Echo, b});
        return true;
    }
    CharPlan plan = planChar(code, t, mergeNext_);
    mergeNext_ = false;
    for (const Element& e : plan.elements) {
        steps_.push_back(Step{at + e.down, StepKind::KeyDown, 0});
        steps_.push_back(Step{at + e.up, StepKind::KeyUp, 0});
    }
    steps_.push_back(Step{at + plan.elements.back().up, StepKind::Echo, b});
    jobEnd_ = at + plan.end;
    return true;
}

// Notes in the trace where Farnsworth spacing starts, changes or ends, so that a timeline
// keyed below the Farnsworth register's speed doesn't look like a slow clock.
void Chip::noteFarnsworth(double at, const Timing& t, int wpm) {
    int farns = t.farnsworth ? regs_.farns : 0;
    if (farns == farnsworthNoted_) return;
    farnsworthNoted_ = farns;
    char text[96];
    if (farns)
        std::snprintf(text, sizeof text,
                      "Farnsworth spacing: characters at %d WPM, gaps for %d WPM", farns, wpm);
    else
        std::snprintf(text, sizeof text, "Farnsworth spacing off: %d WPM", wpm);
    trace_.add(at, Ev::Note, 0, text);
}

void Chip::apply(const Step& s, double now) {
    switch (s.kind) {
    case StepKind::KeyDown:
        jobKey_ = true;
        setKeyLine(s.at, now);
        break;
    case StepKind::KeyUp:
        jobKey_ = false;
        setKeyLine(s.at, now);
        break;
    case StepKind::Echo:
        trace_.addScheduled(s.at, now, Ev::Echo, s.value);
        queue(CB_ECHOBACK, s.value);
        break;
    case StepKind::PttOn:
    case StepKind::PttOff: {
        bool on = s.kind == StepKind::PttOn;
        if (on != ptt_) {
            ptt_ = on;
            trace_.addScheduled(s.at, now, on ? Ev::PttOn : Ev::PttOff, 0);
        }
        break;
    }
    }
}

// at: when the edge was due; actual: when this thread made it. The same for edges that
// a call makes at once (mx_key, mx_directkey, closing).
void Chip::setKeyLine(double at, double actual) {
    bool down = jobKey_ || tune_ || paddle_;
    if (down == keyLine_) return;
    keyLine_ = down;
    if (actual == at)
        trace_.add(at, down ? Ev::KeyDown : Ev::KeyUp, 0);
    else
        trace_.addScheduled(at, actual, down ? Ev::KeyDown : Ev::KeyUp, 0);
}

unsigned char Chip::statusByte() const {
    unsigned char s = 0;
    if (xoff_) s |= XOFF;
    if (breakin_) s |= BREAKIN;
    if (job_ != Job::None || (!buf_.empty() && !paused_)) s |= KBUSY;
    if (!isMx2() && (tune_ || job_ == Job::Key)) s |= KTUNE;
    if (job_ == Job::Wait) s |= KWAIT;
    return s;
}

void Chip::updateStatus() {
    int s = statusByte();
    if (s == reported_) return;
    reported_ = s;
    trace_.add(clock_.nowMs(), Ev::Status, s);
    queue(CB_STATUS, s);
}

void Chip::queue(int kind, int value) { outbox_.emplace_back(kind, value); }

void Chip::post(int kind, int value) {
    if (!reporter_->post(kind, value))
        trace_.add(clock_.nowMs(), Ev::Note, value, "report queue full, report dropped");
}

void Chip::takeFront(std::size_t n) {
    for (std::size_t i = 0; i < n && !buf_.empty(); ++i) {
        buf_.pop_front();
        ++consumed_;
    }
    if (buf_.size() < kLowWater) xoff_ = false;
}

void Chip::insertByte(unsigned char c, double now) {
    long index = wptr_ - consumed_;
    long size = static_cast<long>(buf_.size());
    if (index < 0) {
        // The position has already been keyed: too late to fill it.
        trace_.add(now, Ev::Note, c, "position already sent, byte dropped");
        ++wptr_;
        return;
    }
    if (overwrite_ && index < size) {
        buf_[index] = Slot{c, now};
    } else {
        if (buf_.size() >= kBufferSize) {
            trace_.add(now, Ev::Note, c, "buffer full, byte lost");
            return;
        }
        index = std::min(index, size);
        buf_.insert(buf_.begin() + index, Slot{c, now});
    }
    wptr_ = consumed_ + index + 1;
    if (buf_.size() > kHighWater) xoff_ = true;
}

// The buffer read as items from its front (where an item always starts: the sender takes
// a command together with its argument): a command that takes an argument and the byte
// after it are one item, anything else one byte. Drops the last complete item; a command
// at the very end still waiting for its argument stays where it is.
void Chip::dropLastItem() {
    std::size_t size = buf_.size();
    std::size_t last = size;
    std::size_t lastLength = 0;
    for (std::size_t i = 0; i < size;) {
        std::size_t length = takesArgument(buf_[i].byte) ? 2 : 1;
        if (i + length > size) break;  // waiting for its argument
        last = i;
        lastLength = length;
        i += length;
    }
    if (last == size) return;
    buf_.erase(buf_.begin() + static_cast<long>(last),
               buf_.begin() + static_cast<long>(last + lastLength));
}

void Chip::abortJob(double now) {
    steps_.clear();
    job_ = Job::None;
    jobEnd_ = std::max(std::min(jobEnd_, now), 0.0);
    jobKey_ = false;
    mergeNext_ = false;
    setKeyLine(now, now);
}

void Chip::putChar(unsigned char c) {
    {
        std::lock_guard<std::mutex> g(m_);
        insertByte(c, clock_.nowMs());
    }
    cv_.notify_all();
}

bool Chip::xoff() { return xoff_; }

void Chip::backspace() {
    {
        std::lock_guard<std::mutex> g(m_);
        dropLastItem();
        wptr_ = consumed_ + static_cast<long>(buf_.size());
        overwrite_ = false;
        if (buf_.size() < kLowWater) xoff_ = false;
    }
    cv_.notify_all();
}

void Chip::clearBuffer() {
    {
        std::lock_guard<std::mutex> g(m_);
        double now = clock_.nowMs();
        consumed_ += static_cast<long>(buf_.size());
        buf_.clear();
        wptr_ = consumed_;
        overwrite_ = false;
        xoff_ = false;
        abortJob(now);
    }
    cv_.notify_all();
}

void Chip::pause(bool on) {
    {
        std::lock_guard<std::mutex> g(m_);
        paused_ = on;
    }
    cv_.notify_all();
}

void Chip::key(bool down) {
    {
        std::lock_guard<std::mutex> g(m_);
        tune_ = down;
        double now = clock_.nowMs();
        setKeyLine(now, now);
    }
    cv_.notify_all();
}

void Chip::directKey(unsigned char contacts) {
    {
        std::lock_guard<std::mutex> g(m_);
        double now = clock_.nowMs();
        paddle_ = (contacts & (DAH_DIRECT | DIT_DIRECT)) != 0;
        if (paddle_ && (job_ != Job::None || !buf_.empty())) {
            // The paddles break into buffered sending: what waits is dropped.
            breakin_ = true;
            consumed_ += static_cast<long>(buf_.size());
            buf_.clear();
            wptr_ = consumed_;
            xoff_ = false;
            abortJob(now);
        }
        if (!paddle_) breakin_ = false;
        setKeyLine(now, now);
    }
    cv_.notify_all();
}

void Chip::setRegisters(const MXSTATE& r) {
    std::lock_guard<std::mutex> g(m_);
    regs_ = r;
}

void Chip::setRegister(std::size_t offset, unsigned char v) {
    std::lock_guard<std::mutex> g(m_);
    if (offset < sizeof regs_) reinterpret_cast<unsigned char*>(&regs_)[offset] = v;
}

void Chip::setSpeed(unsigned char wpm) {
    std::lock_guard<std::mutex> g(m_);
    regs_.speed = wpm;
}

// Touches neither the chip's lock nor, unless calls are traced, the trace's: a caller
// polling the pot in a loop contends with the keying thread only on the reporter.
void Chip::requestPot() {
    if (config_.traceCalls) trace_.add(clock_.nowMs(), Ev::SpeedPot, config_.potWpm);
    post(CB_SPEEDPOT, config_.potWpm);
}

void Chip::ptrReset() {
    std::lock_guard<std::mutex> g(m_);
    consumed_ = 0;
    wptr_ = static_cast<long>(buf_.size());
    overwrite_ = false;
}

void Chip::setPointer(unsigned char position, bool overwrite) {
    std::lock_guard<std::mutex> g(m_);
    wptr_ = position;
    overwrite_ = overwrite;
}

void Chip::loadNulls(unsigned char count) {
    {
        std::lock_guard<std::mutex> g(m_);
        double now = clock_.nowMs();
        for (unsigned i = 0; i < count; ++i) insertByte(0, now);
    }
    cv_.notify_all();
}

void Chip::setGeneration(int generation) {
    std::lock_guard<std::mutex> g(m_);
    generation_ = generation;
}

std::string Chip::debugText() {
    std::lock_guard<std::mutex> g(m_);
    char text[160];
    std::snprintf(text, sizeof text,
                  "revision %d mode MX%d buffered %zu xoff %d wpm %d override %d status 0x%02x",
                  config_.revision, generation_, buf_.size(), xoff_.load() ? 1 : 0, currentWpm(),
                  speedOverride_, statusByte());
    return text;
}

bool Chip::keyingIdle() {
    std::lock_guard<std::mutex> g(m_);
    return buf_.empty() && job_ == Job::None && steps_.empty();
}

bool Chip::idle() { return keyingIdle() && reporter_->drained(); }

std::vector<unsigned char> Chip::pendingBytes() {
    std::lock_guard<std::mutex> g(m_);
    std::vector<unsigned char> bytes;
    for (const Slot& s : buf_) bytes.push_back(s.byte);
    return bytes;
}

}  // namespace keyersim
