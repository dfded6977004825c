#include "WindowsTestSupport.h"

#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "windows/BlurredBackdrop.h"
#include "windows/BreathingIcon.h"
#include "windows/OverlayWindow.h"

#include <QLabel>
#include <QScreen>
#include <QSequentialAnimationGroup>

// Both forms of the overlay, its backdrop, its clicks and the icon's breathing.
class OverlayWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakePlatform> m_fake;
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

private slots:
    void init()
    {
        m_fake = std::make_unique<FakePlatform>();
        m_unlocks = 0;
    }

    void cleanup() { m_fake.reset(); }

    void eachFormHasItsCardAndTexts_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<QSize>("card");
        QTest::addColumn<QRect>("icon");
        QTest::addColumn<int>("iconToTitle");
        QTest::addColumn<QList<int>>("fontPixels");
        QTest::addColumn<QString>("message");
        QTest::newRow("primary") << 0 << QSize(380, 328) << QRect(146, 30, 88, 88) << 16
                                 << QList<int>{26, 13}
                                 << QStringLiteral(
                                        "Wipe it down safely. Your keys won\u2019t type.");
        QTest::newRow("secondary")
            << 1 << QSize(300, 192) << QRect(122, 22, 56, 56) << 12 << QList<int>{17, 11}
            << QStringLiteral("Typing is paused while you clean.");
    }

    void eachFormHasItsCardAndTexts()
    {
        QFETCH(int, screen);
        QFETCH(QSize, card);
        QFETCH(QRect, icon);
        QFETCH(int, iconToTitle);
        QFETCH(QList<int>, fontPixels);
        QFETCH(QString, message);
        const auto overlay = overlayOn(screen);
        QCOMPARE(overlay->isPrimaryDisplay(), screen == 0);
        QCOMPARE(overlay->geometry(), QGuiApplication::screens().at(screen)->geometry());
        QCOMPARE(part(*overlay, "card")->size(), card);
        QCOMPARE(part(*overlay, "card")->geometry().center(), overlay->rect().center());

        const auto* title = part<QLabel>(*overlay, "title");
        const auto* messageLabel = part<QLabel>(*overlay, "message");
        QCOMPARE(part(*overlay, "icon")->geometry(), icon);
        QCOMPARE(title->y(), icon.bottom() + 1 + iconToTitle);
        QCOMPARE(messageLabel->y(), bottomOf(title) + 8);
        for (const QWidget* widget : {title, messageLabel})
            QVERIFY(qAbs(widget->x() + widget->width() / 2 - card.width() / 2) <= 1);
        QCOMPARE(title->text(), QStringLiteral("Keyboard locked"));
        QCOMPARE(messageLabel->text(), message);
        QCOMPARE((QList<int>{QFontInfo(title->font()).pixelSize(),
                             QFontInfo(messageLabel->font()).pixelSize()}),
                 fontPixels);

        // The unlock button and its hint on the primary only.
        const auto* button = part<GlassButton>(*overlay, "unlockButton");
        const auto* hint = part<QLabel>(*overlay, "hint");
        if (screen == 1) {
            QVERIFY(!hint && overlay->findChildren<QAbstractButton*>().isEmpty());
            return;
        }
        QVERIFY(button && hint);
        QCOMPARE(button->size(), QSize(236, 52));
        QCOMPARE(button->y(), bottomOf(messageLabel) + 28);
        QCOMPARE(button->button()->text(), QStringLiteral("Unlock keyboard"));
        QCOMPARE(hint->y(), bottomOf(button) + 10);
        QCOMPARE(hint->text(), QStringLiteral("Click once to return"));
        QVERIFY(bottomOf(hint) <= card.height());
    }

    void theOverlayIsBuiltUnmanagedAndPlacedAboveEverythingButNotShown()
    {
        const auto overlay = overlayOn(0);
        const Qt::WindowFlags flags = overlay->windowFlags();
        QVERIFY(flags & Qt::FramelessWindowHint && flags & Qt::WindowStaysOnTopHint &&
                flags & Qt::X11BypassWindowManagerHint);
        QCOMPARE(m_fake->desktop.windowsPlacedAbove, QList<QWindow*>{overlay->windowHandle()});
        QVERIFY(!overlay->isVisible());
        // Opaque where no compositor blends it: the backdrop stands in for the desktop.
        QVERIFY(!overlay->testAttribute(Qt::WA_TranslucentBackground));
        QCOMPARE(qAlpha(overlay->grab(QRect(0, 0, 40, 40)).toImage().pixel(5, 5)), 255);
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
    }

    void theIconBreathesForeverUnlessMotionIsReduced()
    {
        const auto overlay = overlayOn(0);
        auto* icon = part<BreathingIcon>(*overlay, "icon");
        QSequentialAnimationGroup* breathe = icon->breathingAnimation();
        QVERIFY(breathe);
        QCOMPARE(breathe->state(), QAbstractAnimation::Running);
        QCOMPARE(breathe->loopCount(), -1);
        QTRY_VERIFY_WITH_TIMEOUT(icon->scale() > 1.0, 1000);

        m_fake->desktop.reducedMotion = true;
        const auto still = overlayOn(1);
        QTest::qWait(50);
        QVERIFY(!part<BreathingIcon>(*still, "icon")->breathingAnimation());
        QCOMPARE(part<BreathingIcon>(*still, "icon")->scale(), 1.0);
    }

    void theBackdropIsAnEighthOfTheScreenBlurredAndTakenBeforeShowing()
    {
        const auto overlay = overlayOn(1);
        QScreen* right = QGuiApplication::screens().at(1);
        QCOMPARE(m_fake->desktop.snapshotsTaken, QList<QScreen*>{right});
        QCOMPARE(BlurredBackdrop::ofScreen(*right).size(), QSize(160, 128));

        // Stripes two pixels wide blur into opaque greys.
        QImage stripes(80, 45, QImage::Format_RGB32);
        for (int y = 0; y < stripes.height(); ++y)
            for (int x = 0; x < stripes.width(); ++x)
                stripes.setPixel(x, y, (x / 2) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        const QImage blurred = BlurredBackdrop::blur(stripes);
        for (int x = 4; x < 76; ++x)
            QVERIFY(qGray(blurred.pixel(x, 20)) > 80 && qGray(blurred.pixel(x, 20)) < 180);
        QCOMPARE(qAlpha(blurred.pixel(10, 10)), 255);
        // Degenerate sizes neither crash nor grow.
        QCOMPARE(BlurredBackdrop::blur(QImage(1, 1, QImage::Format_RGB32)).size(), QSize(1, 1));
        QVERIFY(BlurredBackdrop::blur(QImage()).isNull());
    }
};

TAVIMO_TWO_SCREEN_TEST_MAIN(OverlayWindowTest)
#include "OverlayWindowTest.moc"
