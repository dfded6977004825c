#include "OffscreenScreens.h"

#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeKeyboardAccess.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "ui/GlassPanel.h"
#include "ui/InfoPill.h"
#include "windows/BackgroundDrag.h"
#include "windows/MainWindowController.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QtTest>

// The main window's settings, its six views and the geometry of its layout.
class MainWindowTest : public QObject {
    Q_OBJECT

private:
    platform::FakeKeyboardAccess* m_keyboard = nullptr;
    platform::FakeDesktop* m_desktop = nullptr;
    std::unique_ptr<MainWindowController> m_controller;

    GlassPanel* rootPanel() const
    {
        return m_controller->window()->findChild<GlassPanel*>(QStringLiteral("rootPanel"));
    }
    QList<QWidget*> views() const
    {
        return rootPanel()->contentContainer()->findChildren<QWidget*>(QString(),
                                                                       Qt::FindDirectChildrenOnly);
    }
    QWidget* view(const char* name) const
    {
        return rootPanel()->contentContainer()->findChild<QWidget*>(QLatin1String(name));
    }
    // Bottom edge as the layout means it: the first row below the view.
    static int bottomOf(const QWidget* widget) { return widget->y() + widget->height(); }
    static int centreXOf(const QWidget* widget) { return widget->x() + widget->width() / 2; }

private slots:
    void init()
    {
        m_keyboard = new platform::FakeKeyboardAccess;
        m_desktop = new platform::FakeDesktop;
        platform::overrideForTesting(m_keyboard, m_desktop);
        m_controller = std::make_unique<MainWindowController>();
        m_controller->window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
    }

    void cleanup()
    {
        m_controller.reset();
        platform::overrideForTesting(nullptr, nullptr);
        delete m_keyboard;
        delete m_desktop;
    }

    void theWindowIsAFixedSizeTavimoWindowCentredOnThePrimaryScreen()
    {
        QWidget* window = m_controller->window();
        QCOMPARE(window->size(), QSize(392, 456));
        QCOMPARE(window->minimumSize(), QSize(392, 456));
        QCOMPARE(window->maximumSize(), QSize(392, 456));
        QCOMPARE(window->windowTitle(), QStringLiteral("Tavimo"));
        QVERIFY(window->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(window->windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        // Centred before it is shown, when its frame is not known yet: off by a frame's width
        // at most.
        const QRect frame = window->frameGeometry();
        const int slack = frame.width() - window->width();
        QVERIFY(qAbs(window->geometry().center().x() - available.center().x()) <= slack);
        QVERIFY(qAbs(window->geometry().center().y() - available.center().y()) <= slack);
        // The glass fills the whole content area.
        QCOMPARE(rootPanel()->geometry(), window->rect());
        QCOMPARE(rootPanel()->contentContainer()->geometry(), rootPanel()->rect());
    }

    void thePanelHoldsSixViewsInOrder()
    {
        QStringList names;
        for (const QWidget* widget : views())
            names << widget->objectName();
        QCOMPARE(names, (QStringList{"appIcon", "title", "subtitle", "permissionStatus",
                                     "lockButton", "developerLink"}));
        QCOMPARE(view("permissionStatus"), m_controller->permissionStatus());
        QCOMPARE(view("lockButton"), m_controller->lockButton());
        QCOMPARE(view("appIcon")->accessibleName(), QStringLiteral("Tavimo"));
    }

    void theTextsAreExact()
    {
        QCOMPARE(qobject_cast<QLabel*>(view("title"))->text(), QStringLiteral("Tavimo"));
        const QString subtitle = qobject_cast<QLabel*>(view("subtitle"))->text();
        QCOMPARE(subtitle, QStringLiteral("Lock your keyboard while you wipe it down.\n"
                                          "Unlock with one click when you\u2019re done."));
        QCOMPARE(subtitle.toUtf8().size(), 84);
        auto* link = qobject_cast<QAbstractButton*>(view("developerLink"));
        QCOMPARE(link->text(), QStringLiteral("dev tavimo.app"));
        QCOMPARE(link->accessibleName(), QStringLiteral("Developer website, tavimo.app"));
        QCOMPARE(link->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
        QCOMPARE(view("title")->font().weight(), QFont::DemiBold);
        QCOMPARE(view("developerLink")->font().weight(), QFont::Medium);
    }

    void theSubtitleShowsTwoLinesSplitAfterDown()
    {
        QWidget* subtitle = view("subtitle");
        const QFontMetrics metrics(subtitle->font());
        QVERIFY2(subtitle->height() >= 2 * metrics.height() &&
                     subtitle->height() < 3 * metrics.height(),
                 qPrintable(QString::number(subtitle->height())));
        // Wide enough for the longer line unbroken.
        QVERIFY(subtitle->width() >= metrics.horizontalAdvance(QStringLiteral(
                                         "Lock your keyboard while you wipe it down.")));
    }

    void theEighteenLayoutRulesHold()
    {
        const int centreX = rootPanel()->width() / 2;
        QWidget* icon = view("appIcon");
        QWidget* title = view("title");
        QWidget* subtitle = view("subtitle");
        QWidget* capsule = view("permissionStatus");
        QWidget* button = view("lockButton");
        QWidget* link = view("developerLink");

        QCOMPARE(icon->geometry(), QRect(centreX - 48, 52, 96, 96));
        QCOMPARE(title->y(), bottomOf(icon) + 14);
        QCOMPARE(subtitle->y(), bottomOf(title) + 8);
        QCOMPARE(capsule->y(), bottomOf(subtitle) + 24);
        QCOMPARE(capsule->height(), 36);
        QCOMPARE(button->y(), bottomOf(capsule) + 18);
        QCOMPARE(button->size(), QSize(236, 52));
        QCOMPARE(bottomOf(link), rootPanel()->height() - 17);
        QVERIFY(link->height() >= 24);
        for (QWidget* widget : {icon, title, subtitle, capsule, button, link})
            QVERIFY2(qAbs(centreXOf(widget) - centreX) <= 1, qPrintable(widget->objectName()));
        // Labels, capsule and link keep their natural sizes.
        for (QWidget* widget : {title, subtitle, link})
            QCOMPARE(widget->width(), widget->sizeHint().width());
        QCOMPARE(capsule->width(), capsule->sizeHint().width());
        // Everything fits inside the window.
        QVERIFY(bottomOf(button) < link->y());
    }

    void theCapsuleStaysCentredWhenItsTextChanges()
    {
        m_keyboard->trusted = false;
        m_controller->refreshPermissionStatus();
        QCoreApplication::sendPostedEvents();
        QWidget* capsule = view("permissionStatus");
        QCOMPARE(capsule->width(), capsule->sizeHint().width());
        QVERIFY(qAbs(centreXOf(capsule) - rootPanel()->width() / 2) <= 1);
        QCOMPARE(capsule->height(), 36);
    }

    void theDeveloperLinkOpensTheSiteInTheBrowser()
    {
        QTest::mouseClick(qobject_cast<QAbstractButton*>(view("developerLink")), Qt::LeftButton);
        QCOMPARE(m_desktop->openedUrls, QList<QUrl>{QUrl(QStringLiteral("https://tavimo.app"))});
        m_desktop->openUrlSucceeds = false;
        m_controller->openDeveloperSite(); // a failure is not reported anywhere
        QCOMPARE(m_desktop->openedUrls.size(), 2);
    }

    void draggingTheBackgroundMovesTheWindow()
    {
        auto* drag = rootPanel()->contentContainer()->findChild<BackgroundDrag*>();
        QVERIFY(drag);
        QTest::mousePress(view("title"), Qt::LeftButton, {}, QPoint(4, 4));
        QTest::mouseRelease(view("title"), Qt::LeftButton, {}, QPoint(4, 4));
        QCOMPARE(drag->movesStarted(), 1);
        // A click on the lock button is a click, not a drag.
        QTest::mouseClick(m_controller->lockButton()->button(), Qt::LeftButton);
        QCOMPARE(drag->movesStarted(), 1);
    }
};

TAVIMO_TWO_SCREEN_TEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
