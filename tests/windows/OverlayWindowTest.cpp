// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/WindowsTestSupport.h"
#include "support/Contrast.h"

#include "ui/FocusAwareButton.h"
#include "ui/GlassButton.h"
#include "windows/BlurredBackdrop.h"
#include "windows/BreathingIcon.h"
#include "windows/OverlayWindow.h"

#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSequentialAnimationGroup>

namespace {

// Counts the events of one type that reach a watched object.
class EventCounter : public QObject {
public:
    EventCounter(QObject& watched, QEvent::Type type, int& count) : m_type(type), m_count(count)
    {
        watched.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        m_count += event->type() == m_type ? 1 : 0;
        return false;
    }

private:
    QEvent::Type m_type;
    int& m_count;
};

} // namespace

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
    static int maxChannelDifference(QRgb a, QRgb b)
    {
        return std::max(
            {qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))});
    }

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
        QTest::addColumn<QSize>("iconSize");
        QTest::addColumn<int>("topInset");
        QTest::addColumn<int>("iconToTitle");
        QTest::addColumn<QList<int>>("fontPixels");
        QTest::addColumn<QString>("message");
        QTest::newRow("primary") << 0 << QSize(380, 328) << QSize(88, 88) << 30 << 16
                                 << QList<int>{26, 13}
                                 << QStringLiteral(
                                        "Wipe it down safely. Your keys won\u2019t type.");
        QTest::newRow("secondary")
            << 1 << QSize(300, 192) << QSize(56, 56) << 22 << 12 << QList<int>{17, 11}
            << QStringLiteral("Typing is paused while you clean.");
    }

    void eachFormHasItsCardAndTexts()
    {
        QFETCH(int, screen);
        QFETCH(QSize, card);
        QFETCH(QSize, iconSize);
        QFETCH(int, topInset);
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
        const QRect icon = part(*overlay, "icon")->geometry();
        QCOMPARE(icon.size(), iconSize);
        QCOMPARE(title->y(), icon.bottom() + 1 + iconToTitle);
        QCOMPARE(messageLabel->y(), bottomOf(title) + 8);
        // The stack starts at the top inset or lower, and leaves no more room below it
        // than above.
        const int lowest = bottomOf(part(*overlay, screen == 0 ? "hint" : "message"));
        QVERIFY(icon.y() >= topInset);
        QVERIFY2(
            qAbs((card.height() - lowest) - icon.y()) <= 1,
            qPrintable(
                QStringLiteral("%1 above, %2 below").arg(icon.y()).arg(card.height() - lowest)));
        for (const QWidget* widget : {title, messageLabel})
            QVERIFY(qAbs(widget->x() + widget->width() / 2 - card.width() / 2) <= 1);
        QVERIFY(qAbs(icon.center().x() - card.width() / 2) <= 1);
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

    void theOverlayIsBuiltUnmanagedAndPlacedAboveEverythingButNotShown_data()
    {
        QTest::addColumn<bool>("compositing");
        QTest::addColumn<bool>("snapshots");
        QTest::newRow("X11, no compositor") << false << true;
        QTest::newRow("X11 with a compositor") << true << true;
        QTest::newRow("compositor, no snapshot") << true << false;
    }

    void theOverlayIsBuiltUnmanagedAndPlacedAboveEverythingButNotShown()
    {
        QFETCH(bool, compositing);
        QFETCH(bool, snapshots);
        m_fake->desktop.compositing = compositing;
        m_fake->desktop.snapshots = snapshots;
        const auto overlay = overlayOn(0);
        const Qt::WindowFlags flags = overlay->windowFlags();
        QVERIFY(flags & Qt::FramelessWindowHint && flags & Qt::WindowStaysOnTopHint &&
                flags & Qt::X11BypassWindowManagerHint);
        QCOMPARE(m_fake->desktop.windowsPlacedAbove, QList<QWindow*>{overlay->windowHandle()});
        QVERIFY(!overlay->isVisible());
        // A snapshot stands in for the desktop whenever there is one: the overlay is
        // opaque. Without one, the compositor blends it, and the card alone is solid.
        QCOMPARE(overlay->isTranslucent(), !snapshots);
        QCOMPARE(overlay->testAttribute(Qt::WA_TranslucentBackground), !snapshots);
        const QImage shot = overlay->grab().toImage();
        const QPoint insideCard = overlay->rect().center() + QPoint(150, 0);
        QCOMPARE(qAlpha(Contrast::pixelAt(shot, {5, 5})) == 255, snapshots);
        QCOMPARE(qAlpha(Contrast::pixelAt(shot, insideCard)), 255);
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

    void theIconBreathesWhileItsWindowIsSeenUnlessMotionIsReduced()
    {
        const auto overlay = overlayOn(0);
        auto* icon = part<BreathingIcon>(*overlay, "icon");
        QSequentialAnimationGroup* breathe = icon->breathingAnimation();
        QVERIFY(breathe);
        QCOMPARE(breathe->loopCount(), -1);
        overlay->orderFrontRegardless();
        QVERIFY(QTest::qWaitForWindowExposed(overlay.get()));
        QTRY_COMPARE(breathe->state(), QAbstractAnimation::Running);
        QTRY_VERIFY_WITH_TIMEOUT(icon->scale() > 1.0, 1000);

        // A few frames a second: each one holds a buffer of the compositor's.
        int frames = 0;
        EventCounter paints(*icon, QEvent::Paint, frames);
        QTest::qWait(1000);
        QVERIFY2(frames >= 3 && frames <= 1000 / BreathingIcon::kFrameIntervalMs + 1,
                 qPrintable(QString::number(frames)));

        // Held still while the window is not exposed, as when the compositor stops taking
        // frames; on again when it is.
        overlay->orderOut();
        QTRY_COMPARE(breathe->state(), QAbstractAnimation::Paused);
        const qreal held = icon->scale();
        QTest::qWait(150);
        QCOMPARE(icon->scale(), held);
        overlay->orderFrontRegardless();
        QTRY_COMPARE(breathe->state(), QAbstractAnimation::Running);

        m_fake->desktop.reducedMotion = true;
        const auto still = overlayOn(1);
        still->orderFrontRegardless();
        QVERIFY(QTest::qWaitForWindowExposed(still.get()));
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
        // A window filled in from its surroundings leaves a gradient as if it was never
        // there; one in a corner takes the colours of its two open sides; an area with no
        // surroundings stays as it was.
        QImage gradient(80, 45, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < gradient.height(); ++y)
            for (int x = 0; x < gradient.width(); ++x)
                gradient.setPixel(x, y, qRgb(40 + 2 * x, 200 - 3 * y, 120));
        for (const auto& [area, slack] : {std::pair{QRect(20, 10, 30, 20), 1},
                                          std::pair{QRect(-5, 30, 30, 40), 2 * 25 + 3 * 15}}) {
            QImage covered = gradient;
            QPainter(&covered).fillRect(area, Qt::white);
            BlurredBackdrop::fillFromSurroundings(covered, area);
            for (int y = 0; y < gradient.height(); ++y)
                for (int x = 0; x < gradient.width(); ++x)
                    QVERIFY(maxChannelDifference(covered.pixel(x, y), gradient.pixel(x, y)) <=
                            slack);
        }
        QImage white(8, 8, QImage::Format_ARGB32_Premultiplied);
        white.fill(Qt::white);
        BlurredBackdrop::fillFromSurroundings(white, QRect(-1, -1, 10, 10));
        QCOMPARE(white.pixel(4, 4), qRgb(255, 255, 255));

        // Degenerate sizes neither crash nor grow.
        QCOMPARE(BlurredBackdrop::blur(QImage(1, 1, QImage::Format_RGB32)).size(), QSize(1, 1));
        QVERIFY(BlurredBackdrop::blur(QImage()).isNull());
    }
};

TAVIMO_TWO_SCREEN_TEST_MAIN(OverlayWindowTest)
#include "OverlayWindowTest.moc"
