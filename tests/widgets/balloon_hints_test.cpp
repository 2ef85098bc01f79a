// Balloon hints: the text shown, the pause, the window's switch, and hiding on input.

#include <gtest/gtest.h>

#include <memory>

#include <QApplication>
#include <QHelpEvent>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include "widgets/balloon_hints.h"
#include "widgets/balloon_window.h"

namespace vistrel {
namespace {

class BalloonHintsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(m_window.get());
        m_button = new QPushButton("Back");
        m_button->setToolTip("Назад");
        m_group = new QWidget;
        m_group->setToolTip("A hint with quite a few words that will not fit in one line at all");
        m_inner = new QWidget(m_group);
        m_inner->setGeometry(5, 5, 40, 20);
        m_group->setMinimumHeight(40);
        m_plain = new QWidget;
        m_plain->setMinimumHeight(30);
        layout->addWidget(m_button);
        layout->addWidget(m_group);
        layout->addWidget(m_plain);
        m_window->setGeometry(300, 300, 300, 200);
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }

    bool sendToolTipEvent(QWidget* widget)
    {
        const QPoint local = widget->rect().center();
        QHelpEvent event(QEvent::ToolTip, local, widget->mapToGlobal(local));
        return QApplication::sendEvent(widget, &event);
    }

    BalloonHints m_hints;
    std::unique_ptr<QWidget> m_window;
    QPushButton* m_button = nullptr;
    QWidget* m_group = nullptr;
    QWidget* m_inner = nullptr;
    QWidget* m_plain = nullptr;
};

TEST_F(BalloonHintsTest, ShowsTheToolTipAsABalloonPointingAtTheControl)
{
    const QPoint tip = m_button->mapToGlobal(m_button->rect().center());
    ASSERT_TRUE(m_hints.showHint(m_button, tip));
    EXPECT_TRUE(m_hints.isHintVisible());
    EXPECT_EQ(m_hints.hintText(), "Назад");
    auto* balloon = qobject_cast<BalloonWindow*>(m_hints.balloon());
    ASSERT_NE(balloon, nullptr);
    EXPECT_GE(balloon->width(), BalloonHints::kCaptionWidth);
    // Pointer at the lower right: the balloon sits above and to the left of the tip.
    EXPECT_TRUE(balloon->pointsDown());
    EXPECT_TRUE(balloon->pointsFromRight());
    EXPECT_EQ(balloon->geometry().bottom() + 1, tip.y());
    EXPECT_LT(balloon->geometry().left(), tip.x());
    EXPECT_GT(balloon->geometry().right(), tip.x());
}

TEST_F(BalloonHintsTest, LongTextWrapsAtTheCaptionWidth)
{
    ASSERT_TRUE(m_hints.showHint(m_group, m_group->mapToGlobal(QPoint(150, 20))));
    QWidget* balloon = m_hints.balloon();
    const int lineHeight = balloon->fontMetrics().height();
    EXPECT_LT(balloon->width(), BalloonHints::kCaptionWidth + 2 * BalloonWindow::kPadding + 40);
    EXPECT_GT(balloon->height(), 3 * lineHeight);
}

TEST_F(BalloonHintsTest, AControlWithoutHintShowsItsParentsHint)
{
    EXPECT_EQ(BalloonHints::hintTextFor(m_inner), m_group->toolTip());
    EXPECT_TRUE(BalloonHints::hintTextFor(m_plain).isEmpty());
    EXPECT_FALSE(m_hints.showHint(m_plain, m_plain->mapToGlobal(QPoint(1, 1))));
    EXPECT_FALSE(m_hints.isHintVisible());
}

TEST_F(BalloonHintsTest, HintsOfAWindowSwitchedOffAreNeverShown)
{
    BalloonHints::setHintsEnabled(m_window.get(), false);
    EXPECT_FALSE(BalloonHints::hintsEnabled(m_button));
    EXPECT_FALSE(m_hints.showHint(m_button, m_button->mapToGlobal(QPoint(2, 2))));
    // The tool-tip event is swallowed, so no plain tip shows either.
    EXPECT_TRUE(sendToolTipEvent(m_button));
    EXPECT_FALSE(m_hints.isHintVisible());

    QTest::mouseMove(m_plain, m_plain->rect().center());
    QTest::mouseMove(m_button, m_button->rect().center());
    EXPECT_FALSE(QTest::qWaitFor([&] { return m_hints.isHintVisible(); }, 3 * BalloonHints::kDefaultDelayMs));

    BalloonHints::setHintsEnabled(m_window.get(), true);
    EXPECT_TRUE(sendToolTipEvent(m_button));
    EXPECT_TRUE(m_hints.isHintVisible());
    EXPECT_EQ(m_hints.hintText(), "Назад");
}

TEST_F(BalloonHintsTest, SwitchingOffAPartLeavesTheRestOfTheWindow)
{
    BalloonHints::setHintsEnabled(m_group, false);
    EXPECT_FALSE(BalloonHints::hintsEnabled(m_inner));
    EXPECT_TRUE(BalloonHints::hintsEnabled(m_button));
    // Another window keeps its own switch.
    QWidget dialog;
    BalloonHints::setHintsEnabled(m_window.get(), false);
    EXPECT_TRUE(BalloonHints::hintsEnabled(&dialog));
}

TEST_F(BalloonHintsTest, RestingTheMouseShowsTheBalloonAfterThePauseAndAClickHidesIt)
{
    // Arrive from elsewhere: the offscreen cursor reports no move to where it already is.
    QTest::mouseMove(m_plain, m_plain->rect().center());
    QTest::mouseMove(m_button, m_button->rect().center());
    EXPECT_FALSE(m_hints.isHintVisible()) << "shown without a pause";
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_hints.isHintVisible(); }, 5000));
    EXPECT_EQ(m_hints.hintText(), "Назад");

    QTest::mouseClick(m_button, Qt::LeftButton);
    EXPECT_FALSE(m_hints.isHintVisible());
}

TEST_F(BalloonHintsTest, MovingToAControlWithoutHintHidesTheBalloon)
{
    ASSERT_TRUE(m_hints.showHint(m_button, m_button->mapToGlobal(m_button->rect().center())));
    QTest::mouseMove(m_plain, m_plain->rect().center());
    EXPECT_FALSE(m_hints.isHintVisible());
}

TEST_F(BalloonHintsTest, NearTheTopOfTheScreenTheBalloonHangsBelowThePoint)
{
    const QRect screen = m_window->screen()->availableGeometry();
    const QPoint tip(screen.left() + 2, screen.top() + 2);
    ASSERT_TRUE(m_hints.showHint(m_button, tip));
    auto* balloon = qobject_cast<BalloonWindow*>(m_hints.balloon());
    EXPECT_FALSE(balloon->pointsDown());
    EXPECT_FALSE(balloon->pointsFromRight());
    EXPECT_TRUE(screen.contains(balloon->geometry()));
}

} // namespace
} // namespace vistrel
