// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/KeyboardAccess.h"

#include <string>
#include <vector>

namespace platform {

// Records every call, can refuse a tap, can switch trust and the pointing device on and
// off, and delivers events, "switched off" and "ended" notifications to the live tap's
// callback.
class FakeKeyboardAccess final : public KeyboardAccess {
public:
    struct Tap;
    struct Source;

    struct Call {
        std::string name; // "isProcessTrusted", "createTap", "enableTap", …
        EventMask mask = 0;
        bool enable = false;
        const void* handle = nullptr; // the tap or source the call was about
    };

    // Settings a test changes at will.
    bool trusted = true;
    bool listenAccess = true;
    bool refuseTap = false;
    bool refuseSource = false;
    bool pointingDevice = true;
    TapRefusal refusal = TapRefusal::NotPermitted; // what a refused tap reports
    AccessProblem problem = AccessProblem::None;

    std::vector<Call> calls;
    std::vector<std::string> callNames() const;
    int count(const std::string& name) const;

    // The most recently created tap while it is alive.
    bool hasLiveTap() const { return m_liveTap != nullptr; }
    bool isTapEnabled() const;
    int liveTapCount() const { return m_liveTaps; }
    int liveSourceCount() const { return m_liveSources; }

    // Hands an event of the given type to the live tap's callback, as the platform
    // would. Returns what the callback returned; nullptr when no tap is live.
    TapEvent* deliver(EventType type);
    // As deliver(), but with an explicit context pointer.
    TapEvent* deliverWithContext(EventType type, void* context);
    TapEvent* sampleEvent() { return reinterpret_cast<TapEvent*>(&m_sampleEvent); }
    // The platform ends the live tap's lock for good, as the keyboard-lock service does:
    // the tap stops holding the keyboard and its callback hears kEventTapEndedByPlatform.
    void endLiveTapByPlatform();

    bool isProcessTrusted() override;
    void promptForTrust() override;
    bool preflightListenAccess() override;
    void requestListenAccess() override;
    std::unique_ptr<EventTap> createTap(TapLocation location, TapPlacement placement,
                                        TapOptions options, EventMask mask, TapCallback callback,
                                        void* context) override;
    void enableTap(EventTap& tap, bool enable) override;
    std::unique_ptr<RunLoopSource> createRunLoopSource(EventTap& tap) override;
    void addToMainLoop(RunLoopSource& source) override;
    void removeFromMainLoop(RunLoopSource& source) override;
    bool hasPointingDevice() override; // not recorded: polled twice a second
    TapRefusal lastTapRefusal() override { return m_lastRefusal; }
    AccessProblem accessProblem() override { return problem; }

private:
    friend struct Tap;
    friend struct Source;
    void record(const char* name, const void* handle = nullptr, EventMask mask = 0,
                bool enable = false);

    Tap* m_liveTap = nullptr;
    int m_liveTaps = 0;
    int m_liveSources = 0;
    int m_sampleEvent = 0;
    TapRefusal m_lastRefusal = TapRefusal::None;
};

} // namespace platform
