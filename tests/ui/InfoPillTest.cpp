#include "AppearanceSwitch.h"

#include "platform/Platform.h"
#include "platform/fake/FakeDesktop.h"
#include "ui/ElidedLabel.h"
#include "ui/GlassPanel.h"
#include "ui/InfoPill.h"
#include "ui/Palette.h"
#include "ui/SymbolView.h"
#include "ui/SystemColor.h"

#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QTest>

#include <type_traits>

// A half-made InfoPill cannot be written down: the mistake stops the build.
static_assert(!std::is_default_constructible_v<InfoPill>);
static_assert(!std::is_constructible_v<InfoPill, QWidget*>);

namespace {

const QString ready = QStringLiteral("Keyboard access granted");
const QString waiting = QStringLiteral("Waiting for Accessibility access");

QRect inPill(const InfoPill& pill, const QWidget* child)
{
    return QRect(child->mapTo(&pill, QPoint()), child->size());
}

} // namespace

class InfoPillTest : public QObject {
    Q_OBJECT

    platform::FakeDesktop desktop;

private slots:
    void init()
    {
        platform::overrideForTesting(nullptr, &desktop);
        AppearanceSwitch::toLight();
    }
    void cleanup() { platform::overrideForTesting(nullptr, nullptr); }

    void layoutKeepsItsInsetsAtAnyWidth()
    {
        InfoPill pill("checkmark.shield.fill", ready, true);
        pill.show();
        const int textWidth = pill.label()->sizeHint().width();
        QCOMPARE(pill.sizeHint(), QSize(12 + 14 + 7 + textWidth + 12, 36));

        for (int width : {pill.sizeHint().width(), 400, 120}) {
            pill.resize(width, 36);
            const QRect icon = inPill(pill, pill.iconView());
            const QRect label = inPill(pill, pill.label());
            QCOMPARE(icon, QRect(12, 11, 14, 14));
            QCOMPARE(label.left(), 12 + 14 + 7);
            QCOMPARE(label.right() + 1, width - 12);
            QVERIFY(qAbs(label.center().y() - icon.center().y()) <= 1);
            QCOMPARE(pill.glass()->geometry(), QRect(0, 0, width, 36));
        }
        QCOMPARE(pill.glass()->cornerRadius(), 18.0);
    }

    void textFontsAndSizes()
    {
        InfoPill pill("hourglass", waiting, false);
        pill.show();
        const QFont font = pill.label()->font();
        QCOMPARE(font.weight(), QFont::Medium);
        // 11.5 device-independent pixels, fraction kept.
        QVERIFY(qAbs(QFontInfo(font).pixelSize() - 11.5) <= 0.5);
        QVERIFY(qAbs(font.pointSizeF() * pill.logicalDpiY() / 72.0 - 11.5) < 0.01);
    }

    void longTitlesEndInAnEllipsis()
    {
        InfoPill pill("exclamationmark.shield.fill", "Keyboard access still needs approval", false);
        pill.show();
        pill.resize(pill.sizeHint());
        QCOMPARE(pill.label()->displayedText(), pill.title());

        pill.resize(pill.sizeHint().width() - 60, 36);
        const QString shown = pill.label()->displayedText();
        QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
        QVERIFY(pill.title().startsWith(shown.chopped(1)));
        QCOMPARE(inPill(pill, pill.label()).right() + 1, pill.width() - 12);
        QVERIFY(QFontMetrics(pill.label()->font()).horizontalAdvance(shown) <=
                pill.label()->width());
    }

    void emptyTitleKeepsTheIconInPlace()
    {
        InfoPill pill("hourglass", QString(), false);
        pill.show();
        pill.resize(pill.sizeHint());
        QCOMPARE(pill.sizeHint().width(), 12 + 14 + 7 + 12);
        QCOMPARE(inPill(pill, pill.iconView()), QRect(12, 11, 14, 14));
        QCOMPARE(pill.label()->displayedText(), QString());
    }

    void tintsFollowReadiness()
    {
        InfoPill pill("checkmark.shield.fill", ready, true);
        pill.show();
        QCOMPARE(pill.iconView()->tint()->resolved(), SystemColor::systemGreen().resolved());
        QCOMPARE(pill.label()->color().resolved(), Palette::textSecondary().resolved());

        pill.update("hourglass", waiting, false);
        QCOMPARE(pill.iconView()->symbolName(), QString("hourglass"));
        QCOMPARE(pill.iconView()->tint()->resolved(), Palette::textSecondary().resolved());
        QCOMPARE(pill.label()->color().resolved(), Palette::textSecondary().resolved());

        AppearanceSwitch::toDark();
        QCOMPARE(pill.label()->color().resolved(),
                 Palette::textSecondary().resolved(Appearance::Dark));
        QCOMPARE(pill.iconView()->tint()->resolved(),
                 Palette::textSecondary().resolved(Appearance::Dark));
    }

    void unknownSymbolLeavesAnEmptySpace()
    {
        InfoPill pill("no.such.symbol", waiting, false);
        pill.show();
        pill.resize(pill.sizeHint());
        QVERIFY(!pill.iconView()->hasImage());
        QCOMPARE(inPill(pill, pill.iconView()), QRect(12, 11, 14, 14));
        QCOMPARE(pill.label()->displayedText(), waiting);

        // Nothing is drawn where the icon would be.
        pill.iconView()->setAttribute(Qt::WA_TranslucentBackground);
        const QImage empty = pill.iconView()->grab().toImage();
        pill.update("hourglass", waiting, false);
        const QImage drawn = pill.iconView()->grab().toImage();
        QVERIFY(empty != drawn);
    }

    void assistiveTechnologySeesOneStaticText()
    {
        InfoPill pill("hourglass", waiting, false);
        pill.show();
        QAccessibleInterface* element = QAccessible::queryAccessibleInterface(&pill);
        QVERIFY(element);
        QCOMPARE(element->role(), QAccessible::StaticText);
        QCOMPARE(element->text(QAccessible::Name), waiting);
        QCOMPARE(element->childCount(), 0);

        pill.update("checkmark.shield.fill", ready, true);
        QCOMPARE(element->role(), QAccessible::StaticText);
        QCOMPARE(element->text(QAccessible::Name), ready);
        QCOMPARE(element->childCount(), 0);
    }
};

QTEST_MAIN(InfoPillTest)
#include "InfoPillTest.moc"
