// SPDX-License-Identifier: GPL-3.0-or-later

#include "WindowsTestSupport.h"
#include "support/Contrast.h"
#include "ui/AppearanceSwitch.h"

#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "ui/GlassPanel.h"
#include "windows/MainWindowController.h"

#include <QAbstractButton>
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

    void theFooterLinkReadsAndTheKeyboardPressesIt_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }

    void theFooterLinkReadsAndTheKeyboardPressesIt()
    {
        QFETCH(bool, dark);
        if (dark)
            AppearanceSwitch::toDark();
        QCoreApplication::sendPostedEvents();
        auto* link = qobject_cast<QAbstractButton*>(view("developerLink"));
        const QRect area = QRect(link->mapTo(m_controller->window(), QPoint()), link->size());
        const QImage shot = m_controller->window()->grab(area).toImage();
        const Contrast::TextOnFill measured =
            Contrast::textOnFill(shot, QRect(QPoint(), link->size()));
        qInfo("footer link: %.2f:1, %s on %s", measured.ratio,
              qPrintable(QColor(measured.text).name()), qPrintable(QColor(measured.fill).name()));
        QVERIFY2(measured.ratio >= 4.5, qPrintable(QString::number(measured.ratio, 'f', 2)));

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
};

TAVIMO_TWO_SCREEN_TEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
