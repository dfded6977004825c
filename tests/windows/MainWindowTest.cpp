// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/WindowsTestSupport.h"
#include "support/AppearanceSwitch.h"
#include "ui/ElidedLabel.h"

#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "ui/GlassPanel.h"
#include "windows/MainWindowController.h"
#include "windows/OverlayWindow.h"

#include <QAbstractButton>
#include <QScopeGuard>
#include <QScreen>

// The main window's settings, its six views and the geometry of its layout.
class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakePlatform> m_fake;
    std::unique_ptr<MainWindowController> m_controller;

    GlassPanel* rootPanel() const
    {
        return m_controller->window()->findChild<GlassPanel*>(QStringLiteral("rootPanel"));
    }
    QWidget* view(const char* name) const
    {
        return rootPanel()->contentContainer()->findChild<QWidget*>(QLatin1String(name));
    }
    static int bottomOf(const QWidget* widget) { return widget->y() + widget->height(); }

private slots:
    void init()
    {
        m_fake = std::make_unique<FakePlatform>();
        m_controller = std::make_unique<MainWindowController>();
        m_controller->window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
    }

    void cleanup()
    {
        AppearanceSwitch::toLight();
        m_controller.reset();
        m_fake.reset();
    }

    void theWindowIsAFixedSizeTavimoWindowCentredOnThePrimaryScreen()
    {
        QWidget* window = m_controller->window();
        QCOMPARE(window->size(), QSize(392, 456));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        const Qt::WindowFlags flags = window->windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint && flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        // Centred before it is shown, when its frame is not known yet: off by a frame's width
        // at most.
        const QPoint offCentre = window->geometry().center() -
                                 QGuiApplication::primaryScreen()->availableGeometry().center();
        const int slack = window->frameGeometry().width() - window->width();
        QVERIFY(qAbs(offCentre.x()) <= slack && qAbs(offCentre.y()) <= slack);
        // The glass fills the whole content area.
        QCOMPARE(rootPanel()->geometry(), window->rect());
        QCOMPARE(rootPanel()->contentContainer()->geometry(), rootPanel()->rect());
    }

    void thePanelHoldsSixViewsInOrderAndTheLinkOpensTheSite()
    {
        QStringList names;
        for (const QWidget* widget : rootPanel()->contentContainer()->findChildren<QWidget*>(
                 QString(), Qt::FindDirectChildrenOnly))
            names << widget->objectName();
        QCOMPARE(names, (QStringList{"appIcon", "title", "subtitle", "permissionStatus",
                                     "lockButton", "developerLink"}));
        QCOMPARE(view("permissionStatus"), m_controller->permissionStatus());
        QCOMPARE(view("lockButton"), m_controller->lockButton());
        // The link opens the site in the browser.
        QTest::mouseClick(qobject_cast<QAbstractButton*>(view("developerLink")), Qt::LeftButton);
        QCOMPARE(m_fake->desktop.openedUrls,
                 QList<QUrl>{QUrl(QStringLiteral("https://tavimo.app"))});
    }

    // Its contrast is measured with every other text's in DesktopAppearanceTest.
    void theKeyboardPressesTheFooterLink()
    {
        auto* link = qobject_cast<QAbstractButton*>(view("developerLink"));
        // Space, Return and keypad Enter open the site from a focused link.
        link->setFocus(Qt::TabFocusReason);
        QTest::keyClick(link, Qt::Key_Space);
        QTest::keyClick(link, Qt::Key_Return);
        QTest::keyClick(link, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(m_fake->desktop.openedUrls.size(), 3);
    }

    void theEighteenLayoutRulesHold_data()
    {
        QTest::addColumn<bool>("accessMissing");
        QTest::newRow("access ready") << false;
        QTest::newRow("access required: another capsule text") << true;
    }

    void theEighteenLayoutRulesHold()
    {
        QFETCH(bool, accessMissing);
        m_fake->keyboard.trusted = !accessMissing;
        m_controller->refreshPermissionStatus();
        QCoreApplication::sendPostedEvents();

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
        QVERIFY(bottomOf(button) < link->y());
        for (QWidget* widget : {icon, title, subtitle, capsule, button, link})
            QVERIFY2(qAbs(widget->x() + widget->width() / 2 - centreX) <= 1,
                     qPrintable(widget->objectName()));
        // Labels, capsule and link keep their natural sizes.
        for (QWidget* widget : {title, subtitle, capsule, link})
            QCOMPARE(widget->width(), widget->sizeHint().width());
        // The subtitle: two lines, the longer one unbroken.
        const QFontMetrics metrics(subtitle->font());
        QVERIFY(subtitle->height() >= 2 * metrics.height());
        QVERIFY(subtitle->height() < 3 * metrics.height());
        QVERIFY(subtitle->width() >= metrics.horizontalAdvance(QStringLiteral(
                                         "Lock your keyboard while you wipe it down.")));
    }

    // A desktop font half as large again, or twice as large, as the ordinary 11 points:
    // every text grows with it, and the main window and the overlay's card grow around
    // them, each view whole, inside, and apart from the next.
    void largerDesktopTextGrowsTheTextsAndTheWindowsAroundThem_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::newRow("150 %") << 1.5;
        QTest::newRow("200 %") << 2.0;
    }

    void largerDesktopTextGrowsTheTextsAndTheWindowsAroundThem()
    {
        QFETCH(qreal, scale);
        const QFont ordinary = QGuiApplication::font();
        QFont large = ordinary;
        large.setPointSizeF(11 * scale);
        QGuiApplication::setFont(large);
        const auto restore = qScopeGuard([&ordinary] { QGuiApplication::setFont(ordinary); });
        m_fake->keyboard.pointingDevice = false; // the longest capsule text
        MainWindowController controller;
        controller.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        QCoreApplication::sendPostedEvents();
        QWidget* content = controller.window()
                               ->findChild<GlassPanel*>(QStringLiteral("rootPanel"))
                               ->contentContainer();
        auto* title = content->findChild<QWidget*>(QStringLiteral("title"));
        QCOMPARE(QFontInfo(title->font()).pixelSize(), qRound(26 * scale));
        QVERIFY(controller.window()->width() > 392 && controller.window()->height() > 456);

        const auto verifyWholeAndApart = [](QWidget* area, const QList<QWidget*>& stack) {
            int below = 0;
            for (QWidget* view : stack) {
                const QString name = view->objectName();
                QVERIFY2(area->rect().contains(view->geometry()), qPrintable(name));
                QVERIFY2(view->width() >= view->sizeHint().width(), qPrintable(name));
                QVERIFY2(view->height() >= std::min(view->sizeHint().height(), 36),
                         qPrintable(name));
                QVERIFY2(view->y() >= below, qPrintable(name));
                below = view->y() + view->height();
            }
        };
        QList<QWidget*> stack;
        for (const char* name :
             {"appIcon", "title", "subtitle", "permissionStatus", "lockButton", "developerLink"})
            stack << content->findChild<QWidget*>(QLatin1String(name));
        verifyWholeAndApart(content, stack);
        QCOMPARE(controller.permissionStatus()->label()->displayedText(),
                 controller.permissionStatus()->title());

        OverlayWindow overlay(QGuiApplication::primaryScreen(), [] {});
        auto* card = overlay.findChild<GlassPanel*>(QStringLiteral("card"));
        QVERIFY(card->width() > 380 && card->height() > 328);
        QCOMPARE(card->geometry().center(), overlay.rect().center());
        QList<QWidget*> cardStack;
        for (const char* name : {"icon", "title", "message", "unlockButton", "hint"})
            cardStack << card->findChild<QWidget*>(QLatin1String(name));
        verifyWholeAndApart(card->contentContainer(), cardStack);
    }
};

TAVIMO_TWO_SCREEN_TEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
