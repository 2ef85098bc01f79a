// The splitter's divider and hot spot, and the status bar with its glyph panes.

#include <gtest/gtest.h>

#include <memory>

#include <QSignalSpy>
#include <QTest>

#include "widgets/balloon_hints.h"
#include "widgets/glyph_status_pane.h"
#include "widgets/hot_spot_splitter.h"
#include "widgets/image_lists.h"
#include "widgets/size_bar.h"
#include "widgets/status_bar.h"

namespace vistrel {
namespace {

class SplitterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_splitter = std::make_unique<HotSpotSplitter>();
        m_upper = new QWidget;
        m_lower = new QWidget;
        m_splitter->setUpperPane(m_upper);
        m_splitter->setLowerPane(m_lower);
        m_splitter->setPosition(200);
        m_splitter->resize(190, 470);
        m_splitter->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_splitter.get()));
    }

    void clickHotSpot()
    {
        SizeBar* divider = m_splitter->divider();
        QTest::mouseClick(divider, Qt::LeftButton, {}, divider->hotSpotRect().center());
    }

    void expectLayout(int dividerTop)
    {
        EXPECT_EQ(m_splitter->divider()->geometry(), QRect(0, dividerTop, 190, HotSpotSplitter::kDividerHeight));
        EXPECT_EQ(m_lower->geometry().top(), dividerTop + HotSpotSplitter::kDividerHeight);
        EXPECT_EQ(m_lower->geometry().bottom(), m_splitter->height() - 1);
    }

    std::unique_ptr<HotSpotSplitter> m_splitter;
    QWidget* m_upper = nullptr;
    QWidget* m_lower = nullptr;
};

TEST_F(SplitterTest, PositionIsTheDividerDistanceFromTheTop)
{
    EXPECT_EQ(m_splitter->position(), 200);
    EXPECT_EQ(m_upper->height(), 200);
    expectLayout(200);
}

TEST_F(SplitterTest, HotSpotCollapsesTheUpperPaneAndRestoresIt)
{
    QSignalSpy moved(m_splitter.get(), &HotSpotSplitter::positionChanged);
    clickHotSpot();
    EXPECT_TRUE(m_splitter->isCollapsed());
    EXPECT_EQ(m_splitter->position(), 0);
    EXPECT_FALSE(m_upper->isVisible());
    expectLayout(0);

    clickHotSpot();
    EXPECT_FALSE(m_splitter->isCollapsed());
    EXPECT_EQ(m_splitter->position(), 200);
    EXPECT_TRUE(m_upper->isVisible());
    expectLayout(200);
    EXPECT_EQ(moved.count(), 2);
}

TEST_F(SplitterTest, DraggingTheDividerMovesItWithinTheSplitter)
{
    // The divider moves under the mouse, so aim at fixed screen points.
    SizeBar* divider = m_splitter->divider();
    QPoint start = divider->mapToGlobal(QPoint(5, 3)); // left of the hot spot
    QTest::mousePress(divider, Qt::LeftButton, {}, divider->mapFromGlobal(start));
    QTest::mouseMove(divider, divider->mapFromGlobal(start + QPoint(0, 10)));
    QTest::mouseMove(divider, divider->mapFromGlobal(start + QPoint(0, 25)));
    QTest::mouseRelease(divider, Qt::LeftButton, {}, divider->mapFromGlobal(start + QPoint(0, 25)));
    EXPECT_EQ(m_splitter->position(), 225);
    expectLayout(225);

    start = divider->mapToGlobal(QPoint(5, 3));
    QTest::mousePress(divider, Qt::LeftButton, {}, divider->mapFromGlobal(start));
    QTest::mouseRelease(divider, Qt::LeftButton, {}, divider->mapFromGlobal(start + QPoint(0, 5000)));
    EXPECT_EQ(m_splitter->position(), 470 - HotSpotSplitter::kDividerHeight);
}

TEST_F(SplitterTest, UpperPaneKeepsItsHeightWhenTheSplitterResizes)
{
    m_splitter->resize(190, 600);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_lower->geometry().bottom() == 599; }));
    EXPECT_EQ(m_upper->height(), 200);

    // Too short for the position: the divider sits at the bottom, the position is kept.
    m_splitter->resize(190, 100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_splitter->height() == 100; }));
    expectLayout(100 - HotSpotSplitter::kDividerHeight);
    EXPECT_EQ(m_splitter->position(), 200);
    m_splitter->resize(190, 470);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_splitter->height() == 470; }));
    expectLayout(200);
}

TEST_F(SplitterTest, SetPositionEndsACollapse)
{
    clickHotSpot();
    m_splitter->setPosition(150);
    EXPECT_FALSE(m_splitter->isCollapsed());
    EXPECT_TRUE(m_upper->isVisible());
    expectLayout(150);
    m_splitter->setPosition(-20);
    EXPECT_EQ(m_splitter->position(), 0);
}

TEST_F(SplitterTest, ShowsNoHints)
{
    m_lower->setToolTip("tip");
    EXPECT_FALSE(BalloonHints::hintsEnabled(m_lower));
    EXPECT_FALSE(BalloonHints::hintsEnabled(m_splitter->divider()));
}

TEST(StatusBarTest, PanesLineUpFromTheLeftEdgeInOrder)
{
    StatusBar bar;
    const QList<int> widths{48, 56, 100, 56, 100, 100};
    const QList<QIcon> glyphs = imageList2();
    for (int i = 0; i < widths.size(); ++i) {
        auto* pane = new GlyphStatusPane(widths[i]);
        pane->setGlyph(glyphs.value(i));
        pane->setCaption(QString(" %1").arg(i));
        bar.addPane(pane);
    }
    bar.resize(900, 40);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    EXPECT_EQ(bar.height(), StatusBar::kHeight);

    int left = 0;
    const QList<GlyphStatusPane*> panes = bar.panes();
    ASSERT_EQ(panes.size(), widths.size());
    for (int i = 0; i < panes.size(); ++i) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return panes[i]->x() == left; })) << "pane " << i;
        EXPECT_EQ(panes[i]->width(), widths[i]);
        EXPECT_EQ(panes[i]->height(), GlyphStatusPane::kHeight);
        EXPECT_EQ(panes[i]->geometry().bottom(), bar.height() - 1);
        EXPECT_EQ(panes[i]->caption(), QString(" %1").arg(i));
        left += widths[i];
    }
}

TEST(StatusBarTest, PaneDrawsItsGlyphAndAnOverlongCaption)
{
    GlyphStatusPane pane(56);
    pane.setGlyph(imageList2().value(kGlyphFrameRate));
    pane.setCaption(QString(500, QChar('9')));
    const QImage image = pane.grab().toImage();
    ASSERT_EQ(image.size(), QSize(56, GlyphStatusPane::kHeight));
    // The glyph's own colours appear where the glyph sits.
    bool glyphDrawn = false;
    const QColor background = image.pixelColor(image.width() - 4, 1);
    for (int y = 4; y < 20 && !glyphDrawn; ++y)
        for (int x = 3; x < 19 && !glyphDrawn; ++x)
            glyphDrawn = image.pixelColor(x, y) != background;
    EXPECT_TRUE(glyphDrawn);
}

} // namespace
} // namespace vistrel
