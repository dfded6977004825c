// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/CommandLine.h"

#include <QCommandLineParser>

namespace CommandLine {
namespace {

// The options QGuiApplication, QApplication and the xcb and wayland platforms read
// themselves; Qt accepts them with one dash or two.
const char* const kQtOptionsWithValue[] = {"platform",
                                           "platformpluginpath",
                                           "platformtheme",
                                           "plugin",
                                           "qwindowgeometry",
                                           "geometry",
                                           "qwindowtitle",
                                           "title",
                                           "qwindowicon",
                                           "icon",
                                           "session",
                                           "display",
                                           "name",
                                           "style",
                                           "stylesheet",
                                           "qmljsdebugger"};
const char* const kQtFlags[] = {"reverse", "widgetcount", "sync", "nograb", "dograb"};

QString helpText()
{
    return QStringLiteral("Usage: tavimo [options]\n"
                          "Locks the keyboard while you wipe it clean.\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help     Show this help and exit.\n"
                          "  -v, --version  Show the version and exit.\n"
                          "\n"
                          "Qt's own options, such as -platform or -style, are accepted too.\n"
                          "Started again while it runs, Tavimo brings its window to the front.\n");
}

} // namespace

Outcome parse(const QStringList& arguments, const QString& version)
{
    QCommandLineParser parser;
    // Qt's options are single words after one dash ("-platform xcb"), not bundled letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption showVersion(
        QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(help);
    parser.addOption(showVersion);
    for (const char* name : kQtOptionsWithValue)
        parser.addOption(
            QCommandLineOption(QString::fromLatin1(name), {}, QStringLiteral("value")));
    for (const char* name : kQtFlags)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));

    const QString name = QStringLiteral("tavimo");
    const QString hint = QStringLiteral(" Try \u201ctavimo --help\u201d.\n");
    if (!parser.parse(arguments))
        return {false, 2, name + QStringLiteral(": ") + parser.errorText() + hint};
    if (!parser.positionalArguments().isEmpty()) {
        return {false, 2,
                name + QStringLiteral(": Unexpected argument \u201c") +
                    parser.positionalArguments().first() + QStringLiteral("\u201d.") + hint};
    }
    if (parser.isSet(help))
        return {false, 0, helpText()};
    if (parser.isSet(showVersion))
        return {false, 0, name + QLatin1Char(' ') + version + QLatin1Char('\n')};
    return {};
}

} // namespace CommandLine
