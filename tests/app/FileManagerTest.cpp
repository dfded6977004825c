// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/FileManager.h"

#include <QDBusConnection>
#include <QDesktopServices>
#include <QTest>
#include <QThread>
#include <QUrl>

// Stands in for a file manager on the test's private session bus. It answers from a
// thread of its own: the call under test blocks the main thread until the reply.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList uris; // read once its thread has ended
public slots:
    void ShowItems(const QStringList& items, const QString&) { uris += items; }
};

// Catches what would be handed to the desktop to open.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class FileManagerTest : public QObject {
    Q_OBJECT
    OpenedUrls opened;

private slots:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(),
                 "no session bus: this test runs under dbus-run-session");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    void init() { opened.urls.clear(); }

    void asksTheFileManagerToSelectTheItem()
    {
        QThread thread;
        FakeFileManager fileManager;
        fileManager.moveToThread(&thread);
        thread.start();
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                            QStringLiteral("file-manager"));
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        QVERIFY(platform::FileManager::showItem(QStringLiteral("/Applications/Tavimo Beta.app")));

        // Gone from the bus, so that the next case finds no file manager.
        QDBusConnection::disconnectFromBus(QStringLiteral("file-manager"));
        thread.quit();
        thread.wait();
        QCOMPARE(fileManager.uris, QStringList{"file:///Applications/Tavimo%20Beta.app"});
        QVERIFY(opened.urls.isEmpty());
    }

    void withoutAFileManagerOpensTheFolder()
    {
        QVERIFY(platform::FileManager::showItem(QStringLiteral("/Applications/Tavimo.app")));
        QCOMPARE(opened.urls, QList<QUrl>{QUrl::fromLocalFile("/Applications")});
    }
};

QTEST_MAIN(FileManagerTest)
#include "FileManagerTest.moc"
