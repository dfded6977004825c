// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "platform/linux/DisplayCheck.h"
#include "platform/linux/LaunchToken.h"
#include "platform/linux/SessionInstance.h"
#include "ui/AppIcon.h"
#include "ui/AppearanceNotifier.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace {

// How long the first window waits for the desktop to say light or dark, so that it does
// not show in one and switch to the other a moment later.
constexpr int kAppearanceWaitMs = 300;

QStringList argumentsOf(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void whenAppearanceIsKnown(QObject* context, const std::function<void()>& goOn)
{
    AppearanceNotifier& appearance = AppearanceNotifier::instance();
    if (appearance.hasHeardFromDesktop()) {
        goOn();
        return;
    }
    auto once = std::make_shared<bool>(false);
    const auto run = [once, goOn] {
        if (!std::exchange(*once, true))
            goOn();
    };
    QObject::connect(&appearance, &AppearanceNotifier::heardFromDesktop, context, run);
    QTimer::singleShot(kAppearanceWaitMs, context, run);
}

} // namespace

int main(int argc, char* argv[])
{
    // Answered before the application object exists: it would connect to the display.
    const CommandLine::Outcome command =
        CommandLine::parse(argumentsOf(argc, argv), QStringLiteral(TAVIMO_VERSION));
    if (!command.run) {
        std::fputs(command.output.toLocal8Bit().constData(), command.exitCode ? stderr : stdout);
        return command.exitCode;
    }
    // Qt would abort with a core dump where no display opens: one clear line instead.
    const QStringList arguments = argumentsOf(argc, argv);
    qsizetype platformOption = arguments.indexOf(QStringLiteral("-platform"));
    if (platformOption < 0)
        platformOption = arguments.indexOf(QStringLiteral("--platform"));
    const QString platformName =
        platformOption >= 0 ? arguments.value(platformOption + 1) : QString();
    if (const QString problem = platform::unopenableDisplay(platformName); !problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", problem.toLocal8Bit().constData());
        return 1;
    }
    const platform::LaunchToken launch = platform::LaunchToken::fromEnvironment();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavimo"));
    QApplication::setApplicationVersion(QStringLiteral(TAVIMO_VERSION));
    // Ties the windows to the installed desktop entry: taskbar name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(TAVIMO_APP_ID));
    if (const std::optional<QIcon> icon = AppIcon::image())
        QApplication::setWindowIcon(*icon);
    AppearanceNotifier::instance().followDesktop();

    AppDelegate delegate;
    // Overlays are hidden at unlock, never closed, so only closing the main window counts.
    QApplication::setQuitOnLastWindowClosed(
        delegate.applicationShouldTerminateAfterLastWindowClosed());

    // One Tavimo per session: a later launch brings the first one forward and ends.
    platform::SessionInstance instance(QStringLiteral(TAVIMO_APP_ID));
    QObject::connect(&instance, &platform::SessionInstance::activationRequested, &delegate,
                     &AppDelegate::applicationShouldHandleReopen);
    QObject::connect(&instance, &platform::SessionInstance::decided, &delegate,
                     [&delegate](platform::SessionInstance::Outcome outcome) {
                         if (outcome == platform::SessionInstance::Outcome::HandedOver) {
                             QCoreApplication::exit(0);
                             return;
                         }
                         whenAppearanceIsKnown(
                             &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); });
                     });
    QTimer::singleShot(0, &instance, [&instance, launch] { instance.claim(launch); });
    QApplication::exec();
    return 0;
}
