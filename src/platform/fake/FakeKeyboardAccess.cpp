// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/fake/FakeKeyboardAccess.h"

#include <algorithm>

namespace platform {

struct FakeKeyboardAccess::Tap final : EventTap {
    Tap(FakeKeyboardAccess& owner, TapCallback callback, void* context)
        : owner(owner), callback(callback), context(context)
    {
        ++owner.m_liveTaps;
        owner.m_liveTap = this;
    }
    ~Tap() override
    {
        --owner.m_liveTaps;
        if (owner.m_liveTap == this)
            owner.m_liveTap = nullptr;
        owner.record("releaseTap", this);
    }
    FakeKeyboardAccess& owner;
    TapCallback callback;
    void* context;
    bool enabled = false;
    bool ended = false;
};

struct FakeKeyboardAccess::Source final : RunLoopSource {
    explicit Source(FakeKeyboardAccess& owner) : owner(owner) { ++owner.m_liveSources; }
    ~Source() override
    {
        --owner.m_liveSources;
        owner.record("releaseSource", this);
    }
    FakeKeyboardAccess& owner;
};

void FakeKeyboardAccess::record(const char* name, const void* handle, EventMask mask, bool enable)
{
    calls.push_back({name, mask, enable, handle});
}

std::vector<std::string> FakeKeyboardAccess::callNames() const
{
    std::vector<std::string> names;
    for (const auto& call : calls)
        names.push_back(call.name);
    return names;
}

int FakeKeyboardAccess::count(const std::string& name) const
{
    return int(std::count_if(calls.begin(), calls.end(),
                             [&](const Call& call) { return call.name == name; }));
}

bool FakeKeyboardAccess::isTapEnabled() const
{
    return m_liveTap && m_liveTap->enabled;
}

TapEvent* FakeKeyboardAccess::deliver(EventType type)
{
    if (!m_liveTap)
        return nullptr;
    return deliverWithContext(type, m_liveTap->context);
}

TapEvent* FakeKeyboardAccess::deliverWithContext(EventType type, void* context)
{
    if (!m_liveTap)
        return nullptr;
    return m_liveTap->callback(nullptr, type, sampleEvent(), context);
}

bool FakeKeyboardAccess::isProcessTrusted()
{
    record("isProcessTrusted");
    return trusted;
}

void FakeKeyboardAccess::promptForTrust()
{
    record("promptForTrust");
}

bool FakeKeyboardAccess::preflightListenAccess()
{
    record("preflightListenAccess");
    return listenAccess;
}

void FakeKeyboardAccess::requestListenAccess()
{
    record("requestListenAccess");
}

std::unique_ptr<EventTap> FakeKeyboardAccess::createTap(TapLocation, TapPlacement, TapOptions,
                                                        EventMask mask, TapCallback callback,
                                                        void* context)
{
    record("createTap", nullptr, mask);
    m_lastRefusal = refuseTap ? refusal : TapRefusal::None;
    if (refuseTap)
        return nullptr;
    return std::make_unique<Tap>(*this, callback, context);
}

void FakeKeyboardAccess::enableTap(EventTap& tap, bool enable)
{
    record("enableTap", &tap, 0, enable);
    auto& fake = static_cast<Tap&>(tap);
    fake.enabled = enable && !fake.ended; // an ended lock cannot be taken back
}

void FakeKeyboardAccess::endLiveTapByPlatform()
{
    if (!m_liveTap)
        return;
    m_liveTap->ended = true;
    m_liveTap->enabled = false;
    m_liveTap->callback(nullptr, kEventTapEndedByPlatform, nullptr, m_liveTap->context);
}

bool FakeKeyboardAccess::hasPointingDevice()
{
    return pointingDevice;
}

std::unique_ptr<RunLoopSource> FakeKeyboardAccess::createRunLoopSource(EventTap& tap)
{
    record("createRunLoopSource", &tap);
    if (refuseSource)
        return nullptr;
    return std::make_unique<Source>(*this);
}

void FakeKeyboardAccess::addToMainLoop(RunLoopSource& source)
{
    record("addToMainLoop", &source);
}

void FakeKeyboardAccess::removeFromMainLoop(RunLoopSource& source)
{
    record("removeFromMainLoop", &source);
}

} // namespace platform
