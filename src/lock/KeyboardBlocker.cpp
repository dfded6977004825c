// SPDX-License-Identifier: GPL-3.0-or-later

#include "lock/KeyboardBlocker.h"

#include "platform/Platform.h"

using namespace platform;

KeyboardBlocker::KeyboardBlocker() = default;

KeyboardBlocker::~KeyboardBlocker()
{
    stop();
}

bool KeyboardBlocker::requestPermissionIfNeeded()
{
    KeyboardAccess& access = keyboardAccess();
    if (access.isProcessTrusted())
        return false;
    if (m_didRequestPermission)
        return false;
    m_didRequestPermission = true;
    access.promptForTrust();
    return true;
}

bool KeyboardBlocker::start()
{
    if (m_isActive)
        return true;

    KeyboardAccess& access = keyboardAccess();
    auto tap = access.createTap(TapLocation::Session, TapPlacement::HeadInsert, TapOptions::Default,
                                kEventMask, &KeyboardBlocker::tapCallback, this);
    if (!tap)
        return false;
    // Without a source the tap would hold the keyboard with nobody draining it: refuse
    // rather than report a lock we cannot serve. Dropping the tap removes it again.
    auto source = access.createRunLoopSource(*tap);
    if (!source)
        return false;

    m_eventTap = std::move(tap);
    m_runLoopSource = std::move(source);
    access.addToMainLoop(*m_runLoopSource);
    access.enableTap(*m_eventTap, true);
    m_isActive = true;
    m_isHeld = true;
    return true;
}

void KeyboardBlocker::stop()
{
    if (!m_isActive || !m_eventTap)
        return;

    KeyboardAccess& access = keyboardAccess();
    access.enableTap(*m_eventTap, false);
    if (m_runLoopSource)
        access.removeFromMainLoop(*m_runLoopSource);
    m_eventTap.reset();
    m_runLoopSource.reset();
    m_isActive = false;
}

TapEvent* KeyboardBlocker::tapCallback(TapProxy*, EventType type, TapEvent* event, void* context)
{
    if (!context)
        return event;

    auto* blocker = static_cast<KeyboardBlocker*>(context);
    if (type == kEventTapEndedByPlatform) {
        blocker->endedByPlatform();
        return nullptr;
    }
    if (type == kEventTapReleasedByPlatform || type == kEventTapRetakenByPlatform) {
        blocker->holdChangedByPlatform(type == kEventTapRetakenByPlatform);
        return nullptr;
    }
    if (type > 0xFFFFFFFDu && blocker->m_eventTap)
        keyboardAccess().enableTap(*blocker->m_eventTap, true);
    return nullptr;
}

void KeyboardBlocker::endedByPlatform()
{
    if (!m_isActive)
        return;
    // The keyboard is free already; what is left is to let go of the dead tap.
    stop();
    if (onEndedByPlatform)
        onEndedByPlatform();
}

void KeyboardBlocker::holdChangedByPlatform(bool held)
{
    if (!m_isActive || m_isHeld == held)
        return;
    m_isHeld = held;
    if (onHoldChangedByPlatform)
        onHoldChangedByPlatform(held);
}
