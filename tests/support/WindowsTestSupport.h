// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeKeyboardAccess.h"
#include "ui/InfoPill.h"
#include "ui/SymbolView.h"
#include "ui/SystemColor.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QtTest>

#include <unistd.h>

// The fake platform layer, in place for as long as it lives.
struct FakePlatform {
    platform::FakeKeyboardAccess keyboard;
    platform::FakeDesktop desktop;
    FakePlatform() { platform::overrideForTesting(&keyboard, &desktop); }
    ~FakePlatform() { platform::overrideForTesting(nullptr, nullptr); }
};

// What the status capsule shows: symbol, text and whether it is tinted as ready.
struct PillState {
    QString symbol;
    QString title;
    bool ready = false;
    bool operator==(const PillState&) const = default;
};

inline PillState pillState(const InfoPill* pill)
{
    const auto& tint = pill->iconView()->tint();
    const bool ready = tint && tint->resolved() == SystemColor::systemGreen().resolved();
    return {pill->iconView()->symbolName(), pill->title(), ready};
}

inline const PillState kGranted{"checkmark.shield.fill", "Accessibility access is ready", true};
inline const PillState kWaiting{"hourglass", "Waiting for Accessibility access", false};
inline const PillState kRequired{"hand.raised.fill", "Accessibility access required", false};
inline const PillState kStillNeedsApproval{"exclamationmark.shield.fill",
                                           "Keyboard access still needs approval", false};
inline const PillState kNoPointer{"computermouse.fill", "Connect a mouse to lock the keyboard",
                                  false};
inline const PillState kEndedByPlatform{"lock.open.fill", "Keyboard unlocked by the system", false};

// The offscreen platform with the two-monitor test desktop's screens: LEFT 1920×1080 at
// the origin (primary, being first) and RIGHT 1280×1024 beside it.
#define TAVIMO_TWO_SCREEN_TEST_MAIN(TestClass)                                                     \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        const QString path =                                                                       \
            QDir::temp().filePath(QStringLiteral("tavimo-screens-%1.json").arg(::getpid()));       \
        QFile file(path);                                                                          \
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))                                \
            qFatal("cannot write %s", qPrintable(path));                                           \
        file.write(R"({"screens":[{"name":"LEFT","x":0,"y":0,"width":1920,"height":1080},)"        \
                   R"({"name":"RIGHT","x":1920,"y":0,"width":1280,"height":1024}]})");             \
        file.close();                                                                              \
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + path.toLocal8Bit());                  \
        QApplication app(argc, argv);                                                              \
        if (QGuiApplication::screens().size() != 2)                                                \
            qFatal("expected two offscreen screens");                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
