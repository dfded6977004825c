#include "OffscreenScreens.h"

#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeKeyboardAccess.h"
#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "ui/GlassPanel.h"
#include "windows/BlurredBackdrop.h"
#include "windows/BreathingIcon.h"
#include "windows/OverlayWindow.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScreen>
#include <QSequentialAnimationGroup>
#include <QtTest>

// Both forms of the overlay, its backdrop, its clicks and the icon's breathing.
class OverlayWindowTest : public QObject {
    Q_OBJECT

private:
    platform::FakeKeyboardAccess* m_keyboard = nullptr;
    platform::FakeDesktop* m_desktop = nullptr;
    int m_unlocks = 0;

    std::unique_ptr<OverlayWindow> overlayOn(int screenIndex)
    {
        return std::make_unique<OverlayWindow>(QGuiApplication::screens().at(screenIndex),
                                               [this] { ++m_unlocks; });
    }
    template <typename T = QWidget> static T* part(const OverlayWindow& overlay, const char* name)
    {
        return overlay.findChild<T*>(QLatin1String(name));
    }
    static int bottomOf(const QWidget* widget) { return widget->y() + widget->height(); }
    static int centreXOf(const QWidget* widget) { return widget->x() + widget->width() / 2; }

    void verifyForm(const OverlayWindow& overlay, const OverlayWindow::Metrics& m,
                    const QString& message)
    {
        const QScreen* screen = overlay.screen();
        QCOMPARE(overlay.geometry(), screen->geometry());

        const QWidget* card = part(overlay, "card");
        QCOMPARE(card->size(), QSize(m.cardWidth, m.cardHeight));
        QCOMPARE(card->geometry().center(), overlay.rect().center());

        const QWidget* icon = part(overlay, "icon");
        const QWidget* title = part(overlay, "title");
        const QWidget* messageLabel = part(overlay, "message");
        QCOMPARE(icon->geometry(),
                 QRect(m.cardWidth / 2 - m.iconSize / 2, m.iconTopInset, m.iconSize, m.iconSize));
        QCOMPARE(title->y(), bottomOf(icon) + m.iconToTitleGap);
        QCOMPARE(messageLabel->y(), bottomOf(title) + 8);
        for (const QWidget* widget : {icon, title, messageLabel})
            QVERIFY(qAbs(centreXOf(widget) - m.cardWidth / 2) <= 1);
        QCOMPARE(part<QLabel>(overlay, "title")->text(), QStringLiteral("Keyboard locked"));
        QCOMPARE(part<QLabel>(overlay, "message")->text(), message);
        QCOMPARE(title->font().weight(), QFont::DemiBold);
        QCOMPARE(messageLabel->font().weight(), QFont::Normal);
        // The bigger title font on the bigger card.
        QVERIFY(QFontInfo(title->font()).pixelSize() > QFontInfo(messageLabel->font()).pixelSize());
    }

private slots:
    void init()
    {
        m_keyboard = new platform::FakeKeyboardAccess;
        m_desktop = new platform::FakeDesktop;
        platform::overrideForTesting(m_keyboard, m_desktop);
        m_unlocks = 0;
    }

    void cleanup()
    {
        platform::overrideForTesting(nullptr, nullptr);
        delete m_keyboard;
        delete m_desktop;
    }

    void thePrimaryOverlayHasTheLargeCardTheButtonAndTheHint()
    {
        const auto overlay = overlayOn(0);
        QVERIFY(overlay->isPrimaryDisplay());
        verifyForm(*overlay, OverlayWindow::kPrimaryMetrics,
                   QStringLiteral("Wipe it down safely. Your keys won\u2019t type."));
        QCOMPARE(OverlayWindow::kPrimaryMetrics.cardWidth, 380);
        QCOMPARE(OverlayWindow::kPrimaryMetrics.cardHeight, 328);

        const QWidget* message = part(*overlay, "message");
        const QWidget* button = part(*overlay, "unlockButton");
        const QWidget* hint = part(*overlay, "hint");
        QVERIFY(button && hint);
        QCOMPARE(button->size(), QSize(236, 52));
        QCOMPARE(button->y(), bottomOf(message) + 28);
        QCOMPARE(hint->y(), bottomOf(button) + 10);
        QCOMPARE(part<QLabel>(*overlay, "hint")->text(), QStringLiteral("Click once to return"));
        QCOMPARE(part<GlassButton>(*overlay, "unlockButton")->button()->text(),
                 QStringLiteral("Unlock keyboard"));
        QCOMPARE(part<GlassButton>(*overlay, "unlockButton")->button()->symbolName(),
                 QStringLiteral("lock.open.fill"));
        // The hint ends inside the card.
        QVERIFY(bottomOf(hint) <= OverlayWindow::kPrimaryMetrics.cardHeight);
    }

    void otherOverlaysHaveTheSmallCardAndNoButton()
    {
        const auto overlay = overlayOn(1);
        QVERIFY(!overlay->isPrimaryDisplay());
        verifyForm(*overlay, OverlayWindow::kSecondaryMetrics,
                   QStringLiteral("Typing is paused while you clean."));
        QCOMPARE(OverlayWindow::kSecondaryMetrics.cardWidth, 300);
        QCOMPARE(OverlayWindow::kSecondaryMetrics.cardHeight, 192);
        QVERIFY(!part(*overlay, "unlockButton"));
        QVERIFY(!part(*overlay, "hint"));
        QVERIFY(overlay->findChildren<QAbstractButton*>().isEmpty());
    }

    void theOverlayStandsAboveEverythingUnmanaged()
    {
        const auto overlay = overlayOn(0);
        const Qt::WindowFlags flags = overlay->windowFlags();
        QVERIFY(flags & Qt::FramelessWindowHint);
        QVERIFY(flags & Qt::WindowStaysOnTopHint);
        QVERIFY(flags & Qt::X11BypassWindowManagerHint);
        QCOMPARE(m_desktop->windowsPlacedAbove, QList<QWindow*>{overlay->windowHandle()});
        QVERIFY(!overlay->isVisible()); // built, not shown
        QVERIFY(m_desktop->keyWindows.isEmpty());

        overlay->orderFrontRegardless();
        QVERIFY(overlay->isVisible());
        QVERIFY(m_desktop->keyWindows.isEmpty());
        overlay->makeKeyAndOrderFront();
        QCOMPARE(m_desktop->keyWindows, QList<QWindow*>{overlay->windowHandle()});
        overlay->orderOut();
        QVERIFY(!overlay->isVisible());
    }

    void onlyTheUnlockButtonUnlocksAndEveryOtherClickIsSwallowed()
    {
        const auto overlay = overlayOn(0);
        overlay->orderFrontRegardless();
        QVERIFY(QTest::qWaitForWindowExposed(overlay.get()));
        QTest::mouseClick(overlay.get(), Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseClick(part(*overlay, "card"), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(part(*overlay, "title"), Qt::LeftButton);
        QCOMPARE(m_unlocks, 0);
        QTest::mouseClick(part<GlassButton>(*overlay, "unlockButton")->button(), Qt::LeftButton);
        QCOMPARE(m_unlocks, 1);
        QTest::mouseClick(part<GlassButton>(*overlay, "unlockButton")->button(), Qt::LeftButton);
        QCOMPARE(m_unlocks, 2);
    }

    void theIconBreathesFromItsCentreForever()
    {
        const auto overlay = overlayOn(0);
        QCOMPARE(m_desktop->reducedMotionReads, 1);
        auto* icon = part<BreathingIcon>(*overlay, "icon");
        QSequentialAnimationGroup* breathe = icon->breathingAnimation();
        QVERIFY(breathe);
        QCOMPARE(breathe->objectName(), QStringLiteral("breathe"));
        QCOMPARE(breathe->state(), QAbstractAnimation::Running);
        QCOMPARE(breathe->loopCount(), -1);
        QCOMPARE(breathe->animationCount(), 2);
        const auto* out = qobject_cast<QPropertyAnimation*>(breathe->animationAt(0));
        const auto* back = qobject_cast<QPropertyAnimation*>(breathe->animationAt(1));
        QVERIFY(out && back);
        QCOMPARE(out->propertyName(), QByteArray("scale"));
        QCOMPARE(out->startValue().toReal(), 1.0);
        QCOMPARE(out->endValue().toReal(), 1.035);
        QCOMPARE(back->startValue().toReal(), 1.035);
        QCOMPARE(back->endValue().toReal(), 1.0);
        for (const auto* leg : {out, back}) {
            QCOMPARE(leg->duration(), 1800);
            QCOMPARE(leg->easingCurve().type(), QEasingCurve::InOutSine);
        }
        QTRY_VERIFY_WITH_TIMEOUT(icon->scale() > 1.0, 1000);
        QVERIFY(icon->scale() <= 1.035);
    }

    void reducedMotionKeepsTheIconStill()
    {
        m_desktop->reducedMotion = true;
        const auto overlay = overlayOn(1);
        QCOMPARE(m_desktop->reducedMotionReads, 1);
        auto* icon = part<BreathingIcon>(*overlay, "icon");
        QVERIFY(!icon->breathingAnimation());
        // Read once: a later change does not reach an existing overlay.
        m_desktop->reducedMotion = false;
        QTest::qWait(50);
        QVERIFY(!icon->breathingAnimation());
        QCOMPARE(icon->scale(), 1.0);
    }

    void theIconGrowsAboutItsCentre()
    {
        QPixmap square(64, 64);
        square.fill(Qt::transparent);
        QPainter(&square).fillRect(16, 16, 32, 32, Qt::black);
        BreathingIcon still(QIcon(square), nullptr);
        still.resize(88, 88);
        const QImage atRest = still.grab().toImage();
        still.setScale(1.035);
        const QImage grown = still.grab().toImage();
        // Both the top-left and the bottom-right edge move outwards by the same amount.
        const auto inkBox = [](const QImage& image) {
            QRect box;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qAlpha(image.pixel(x, y)) > 128)
                        box |= QRect(x, y, 1, 1);
            return box;
        };
        const QRect rest = inkBox(atRest);
        const QRect big = inkBox(grown);
        QVERIFY(big.width() > rest.width());
        QCOMPARE(rest.left() - big.left(), big.right() - rest.right());
        QCOMPARE(rest.top() - big.top(), big.bottom() - rest.bottom());
    }

    void theBackdropIsTranslucentOnlyWhereACompositorBlendsIt()
    {
        m_desktop->compositing = true;
        const auto translucent = overlayOn(0);
        QVERIFY(translucent->isTranslucent());
        QVERIFY(translucent->testAttribute(Qt::WA_TranslucentBackground));

        m_desktop->compositing = false;
        const auto opaque = overlayOn(0);
        QVERIFY(!opaque->isTranslucent());
        QVERIFY(!opaque->testAttribute(Qt::WA_TranslucentBackground));
        // Opaque pixels everywhere, the scrim darkening whatever stands in for the desktop.
        const QImage shot = opaque->grab(QRect(0, 0, 40, 40)).toImage();
        QCOMPARE(qAlpha(shot.pixel(5, 5)), 255);
    }

    void theBlurSmoothsSharpEdgesAndKeepsTheSize()
    {
        QImage stripes(80, 45, QImage::Format_RGB32);
        for (int y = 0; y < stripes.height(); ++y)
            for (int x = 0; x < stripes.width(); ++x)
                stripes.setPixel(x, y, (x / 2) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        const QImage blurred = BlurredBackdrop::blur(stripes);
        QCOMPARE(blurred.size(), stripes.size());
        // Stripes two pixels wide are gone: only greys near the middle remain.
        for (int x = 4; x < 76; ++x) {
            const int grey = qGray(blurred.pixel(x, 20));
            QVERIFY2(grey > 80 && grey < 180,
                     qPrintable(QStringLiteral("%1 at %2").arg(grey).arg(x)));
        }
        QCOMPARE(qAlpha(blurred.pixel(10, 10)), 255);
        QCOMPARE(BlurredBackdrop::blur(QImage(1, 1, QImage::Format_RGB32)).size(), QSize(1, 1));
        QVERIFY(BlurredBackdrop::blur(QImage()).isNull());
    }

    void theBackdropIsAnEighthOfTheScreenTakenBeforeShowing()
    {
        const auto overlay = overlayOn(1);
        QCOMPARE(m_desktop->snapshotsTaken, QList<QScreen*>{QGuiApplication::screens().at(1)});
        QCOMPARE(BlurredBackdrop::kShrinkFactor, 8);
        QCOMPARE(BlurredBackdrop::ofScreen(*QGuiApplication::screens().at(1)).size(),
                 QSize(160, 128));
    }
};

TAVIMO_TWO_SCREEN_TEST_MAIN(OverlayWindowTest)
#include "OverlayWindowTest.moc"
