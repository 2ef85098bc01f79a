// The side panel: width, hot spot, dragging the size bar, and its resize notification.

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include "widgets/size_bar.h"
#include "widgets/size_panel.h"

namespace vistrel {
namespace {

class SizePanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_host = std::make_unique<QWidget>();
        auto* layout = new QHBoxLayout(m_host.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        m_panel = new SizePanel;
        m_content = new QLabel("content");
        m_panel->setContentWidget(m_content);
        layout->addWidget(m_panel);
        layout->addWidget(new QWidget, 1); // the player side
        QObject::connect(m_panel, &SizePanel::constrainedResize, m_panel, [this](int&, int&, int&, int&) { ++m_resizes; });
        m_panel->setPanelWidth(170);
        m_host->resize(740, 500);
        m_host->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_host.get()));
        ASSERT_TRUE(settleAt(170));
    }

    // Waits until the layout has given the panel `width` and every pending event is handled.
    bool settleAt(int width)
    {
        const bool reached = QTest::qWaitFor([&] { return m_panel->width() == width; });
        QCoreApplication::processEvents();
        return reached;
    }

    void clickHotSpot()
    {
        SizeBar* bar = m_panel->sizeBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->hotSpotRect().center());
    }

    // Drags the bar by dx in `steps` mouse moves (each move that changes the width is one change).
    void dragBar(int dx, int steps = 2)
    {
        // The bar moves under the mouse as the panel grows, so aim at fixed screen points.
        SizeBar* bar = m_panel->sizeBar();
        const QPoint start = bar->mapToGlobal(QPoint(bar->width() / 2, 5)); // well above the hot spot
        QTest::mousePress(bar, Qt::LeftButton, {}, bar->mapFromGlobal(start));
        for (int step = 1; step <= steps; ++step)
            QTest::mouseMove(bar, bar->mapFromGlobal(start + QPoint(dx * step / steps, 0)));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromGlobal(start + QPoint(dx, 0)));
    }

    std::unique_ptr<QWidget> m_host;
    SizePanel* m_panel = nullptr;
    QLabel* m_content = nullptr;
    int m_resizes = 0;
};

TEST_F(SizePanelTest, HotSpotCollapsesToTheBarAndRestoresThePreviousWidth)
{
    clickHotSpot();
    EXPECT_TRUE(m_panel->isCollapsed());
    EXPECT_EQ(m_panel->panelWidth(), SizePanel::kBarWidth);
    EXPECT_TRUE(settleAt(SizePanel::kBarWidth));
    EXPECT_FALSE(m_content->isVisible());
    EXPECT_TRUE(m_panel->sizeBar()->isVisible());

    clickHotSpot();
    EXPECT_FALSE(m_panel->isCollapsed());
    EXPECT_EQ(m_panel->panelWidth(), 170);
    EXPECT_TRUE(settleAt(170));
    EXPECT_TRUE(m_content->isVisible());
}

TEST_F(SizePanelTest, PressingTheHotSpotAndReleasingElsewhereDoesNothing)
{
    SizeBar* bar = m_panel->sizeBar();
    QTest::mousePress(bar, Qt::LeftButton, {}, bar->hotSpotRect().center());
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, 2));
    EXPECT_FALSE(m_panel->isCollapsed());
    EXPECT_EQ(m_panel->panelWidth(), 170);
}

TEST_F(SizePanelTest, DraggingTheBarChangesTheWidth)
{
    dragBar(40);
    EXPECT_EQ(m_panel->panelWidth(), 210);
    EXPECT_TRUE(settleAt(210));
    dragBar(-100);
    EXPECT_EQ(m_panel->panelWidth(), 110);
    // Never narrower than the bar, never past the window's edge.
    dragBar(-1000);
    EXPECT_EQ(m_panel->panelWidth(), SizePanel::kBarWidth);
    dragBar(5000);
    EXPECT_LE(m_panel->panelWidth(), m_host->width() - SizePanel::kBarWidth);
}

TEST_F(SizePanelTest, DraggingACollapsedPanelOpensIt)
{
    clickHotSpot();
    ASSERT_TRUE(m_panel->isCollapsed());
    dragBar(90);
    EXPECT_FALSE(m_panel->isCollapsed());
    EXPECT_EQ(m_panel->panelWidth(), SizePanel::kBarWidth + 90);
    EXPECT_TRUE(settleAt(SizePanel::kBarWidth + 90));
    EXPECT_TRUE(m_content->isVisible());
}

TEST_F(SizePanelTest, SetPanelWidthEndsACollapseAndKeepsAtLeastTheBar)
{
    clickHotSpot();
    m_panel->setPanelWidth(9);
    EXPECT_FALSE(m_panel->isCollapsed());
    EXPECT_EQ(m_panel->panelWidth(), 9);
    EXPECT_TRUE(settleAt(9));
    m_panel->setPanelWidth(-50);
    EXPECT_EQ(m_panel->panelWidth(), SizePanel::kBarWidth);
    // A width from a damaged settings file never makes the window wider than the screen.
    m_panel->setPanelWidth(1000000);
    EXPECT_LE(m_panel->panelWidth(), m_panel->screen()->availableGeometry().width());
}

TEST_F(SizePanelTest, EverySizeChangeRaisesOneNotificationWhateverCausedIt)
{
    const auto expectOneMore = [this](const std::function<void()>& change, int width, const char* what) {
        const int before = m_resizes;
        change();
        ASSERT_TRUE(settleAt(width)) << what;
        EXPECT_EQ(m_resizes, before + 1) << what;
    };
    expectOneMore([this] { m_panel->setPanelWidth(150); }, 150, "program");
    expectOneMore([this] { dragBar(30, 1); }, 180, "drag");
    expectOneMore([this] { clickHotSpot(); }, SizePanel::kBarWidth, "collapse");
    expectOneMore([this] { clickHotSpot(); }, 180, "restore");

    // A drag in three moves is three changes of size.
    const int beforeDrag = m_resizes;
    dragBar(60, 3);
    ASSERT_TRUE(settleAt(240));
    EXPECT_EQ(m_resizes, beforeDrag + 3);

    // The window's height change reaches the panel as well.
    const int before = m_resizes;
    m_host->resize(740, 420);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_panel->height() == 420; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_resizes, before + 1);

    // Setting the width it already has is no change.
    const int unchanged = m_resizes;
    m_panel->setPanelWidth(240);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_resizes, unchanged);
}

TEST_F(SizePanelTest, LimitsNarrowedByTheReceiverBindLaterDrags)
{
    QObject::connect(m_panel, &SizePanel::constrainedResize, m_panel,
                     [](int& minWidth, int&, int& maxWidth, int&) {
                         minWidth = 100;
                         maxWidth = 250;
                     });
    m_panel->setPanelWidth(200);
    ASSERT_TRUE(settleAt(200));
    dragBar(300);
    EXPECT_EQ(m_panel->panelWidth(), 250);
    ASSERT_TRUE(settleAt(250));
    dragBar(-300);
    EXPECT_EQ(m_panel->panelWidth(), 100);
}

// A content widget shows as the panel's state says wherever it is given: with a panel not shown yet
// it appears when the panel does, behind a collapsed panel it stays hidden until the panel opens, and
// in a shown panel it appears at once.
TEST(SizePanelContent, ShowsAsThePanelsStateSaysWhenItIsGiven)
{
    QWidget host;
    auto* layout = new QHBoxLayout(&host);
    auto* panel = new SizePanel;
    layout->addWidget(panel);
    auto* early = new QLabel("early");
    panel->setContentWidget(early);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    EXPECT_TRUE(early->isVisible());

    panel->setCollapsed(true);
    auto* behindCollapsed = new QLabel("behind");
    panel->setContentWidget(behindCollapsed);
    QCoreApplication::processEvents();
    EXPECT_FALSE(behindCollapsed->isVisible());
    panel->setCollapsed(false);
    EXPECT_TRUE(behindCollapsed->isVisible());

    auto* late = new QLabel("late");
    panel->setContentWidget(late);
    EXPECT_TRUE(QTest::qWaitFor([&] { return late->isVisible(); }));

    // Collapsed before the panel is ever shown: the content stays hidden when the window appears.
    QWidget second;
    auto* secondLayout = new QHBoxLayout(&second);
    auto* collapsedPanel = new SizePanel;
    secondLayout->addWidget(collapsedPanel);
    collapsedPanel->setCollapsed(true);
    auto* hidden = new QLabel("hidden");
    collapsedPanel->setContentWidget(hidden);
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    EXPECT_FALSE(hidden->isVisible());
    collapsedPanel->setCollapsed(false);
    EXPECT_TRUE(hidden->isVisible());
}

} // namespace
} // namespace vistrel
