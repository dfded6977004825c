#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QtGlobal>

#include <unistd.h>

// Runs the offscreen platform with two screens, as on the two-monitor test desktop:
// LEFT 1920×1080 at the origin (primary, being first) and RIGHT 1280×1024 beside it.
// Call before the application object exists.
inline void useTwoOffscreenScreens()
{
    const QString path =
        QDir::temp().filePath(QStringLiteral("tavimo-screens-%1.json").arg(::getpid()));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write the offscreen screen configuration %s", qPrintable(path));
    file.write(R"({"screens":[)"
               R"({"name":"LEFT","x":0,"y":0,"width":1920,"height":1080},)"
               R"({"name":"RIGHT","x":1920,"y":0,"width":1280,"height":1024}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + path.toLocal8Bit());
}

#define TAVIMO_TWO_SCREEN_TEST_MAIN(TestClass)                                                     \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        useTwoOffscreenScreens();                                                                  \
        QApplication app(argc, argv);                                                              \
        if (QGuiApplication::screens().size() != 2)                                                \
            qFatal("expected two offscreen screens, got %d",                                       \
                   int(QGuiApplication::screens().size()));                                        \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
