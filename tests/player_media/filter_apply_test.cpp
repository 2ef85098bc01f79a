#include <gtest/gtest.h>

#include <QPainter>

#include "player/render/filters.h"
#include "tests/player_media/media_test_support.h"

namespace vistrel::player {
namespace {

using test::rawPixel;

QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A 40x40 layer with an opaque red 10x10 square at (15,15)..(24,24).
QImage squareLayer()
{
    QImage image = canvas(40, 40);
    QPainter(&image).fillRect(15, 15, 10, 10, QColor(255, 0, 0));
    return image;
}

long alphaSum(const QImage& image)
{
    long sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qAlpha(rawPixel(image, x, y));
    return sum;
}

TEST(BlurFilterApply, SpreadsOnePixelOverTheBox)
{
    QImage image = canvas(21, 21);
    image.setPixel(10, 10, 0xffffffff);
    applyFilters(image, {BlurFilter{5, 5, 1}}, 1, 1); // a box 5 pixels wide on each axis
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 21; ++x) {
            const bool inBox = std::abs(x - 10) <= 2 && std::abs(y - 10) <= 2;
            EXPECT_EQ(qAlpha(rawPixel(image, x, y)), inBox ? 10 : 0) << x << "," << y;
        }
    EXPECT_TRUE(test::validPremultiplied(image));
}

// A vertical line one pixel wide, blurred horizontally: the row profile around it.
struct LineProfileCase {
    const char* name;
    double blur;
    std::vector<int> profile; // alpha at x = 10 - n .. 10 + n
};

class BlurLineProfile : public ::testing::TestWithParam<LineProfileCase> {};

TEST_P(BlurLineProfile, BoxCoversEdgePixelsInPart)
{
    const LineProfileCase& c = GetParam();
    QImage image = canvas(21, 5);
    QPainter(&image).fillRect(10, 0, 1, 5, Qt::white);
    applyFilters(image, {BlurFilter{c.blur, 0, 1}}, 1, 1);
    const int n = int(c.profile.size()) / 2;
    for (int x = 0; x < 21; ++x) {
        const int expected = std::abs(x - 10) <= n ? c.profile[std::size_t(x - 10 + n)] : 0;
        EXPECT_NEAR(qAlpha(rawPixel(image, x, 2)), expected, 1) << "x = " << x;
    }
    // The box is centred: what the line loses is spread evenly to both sides.
    EXPECT_EQ(qAlpha(rawPixel(image, 10 - n, 2)), qAlpha(rawPixel(image, 10 + n, 2)));
}

INSTANTIATE_TEST_SUITE_P(Widths, BlurLineProfile,
    ::testing::Values(LineProfileCase{"NoWiderThanAPixel", 1, {255}},
                    LineProfileCase{"Two", 2, {64, 128, 64}},
                    LineProfileCase{"Three", 3, {85, 85, 85}},
                    LineProfileCase{"Four", 4, {32, 64, 64, 64, 32}},
                    LineProfileCase{"FractionalWidth", 4.5, {43, 57, 57, 57, 43}}),
    [](const ::testing::TestParamInfo<LineProfileCase>& info) { return std::string(info.param.name); });

TEST(BlurFilterApply, MorePassesAndScaleReachFurther)
{
    QImage twoPasses = canvas(41, 41);
    QPainter(&twoPasses).fillRect(18, 18, 5, 5, Qt::white);
    QImage scaled = twoPasses;
    const long before = alphaSum(twoPasses);
    applyFilters(twoPasses, {BlurFilter{4, 4, 2}}, 1, 1);
    applyFilters(scaled, {BlurFilter{4, 4, 1}}, 2, 2);
    EXPECT_GT(qAlpha(rawPixel(twoPasses, 20 + 5, 20)), 0);  // 2 + 2 + 2 from the centre
    EXPECT_EQ(qAlpha(rawPixel(twoPasses, 20 + 7, 20)), 0);
    EXPECT_GT(qAlpha(rawPixel(scaled, 20 + 6, 20)), 0);     // 2 + 4 from the centre
    EXPECT_EQ(qAlpha(rawPixel(scaled, 20 + 7, 20)), 0);
    EXPECT_NEAR(alphaSum(twoPasses), before, before / 50);  // blurring moves coverage, keeps it
}

TEST(BlurFilterApply, StopsBetweenPassesWhenAsked)
{
    // Asked before each filter and each pass: stopping after the first pass leaves one pass done.
    QImage source = canvas(41, 41);
    QPainter(&source).fillRect(18, 18, 5, 5, Qt::white);
    QImage onePass = source, stopped = source, whole = source;
    EXPECT_FALSE(applyFilters(onePass, {BlurFilter{4, 4, 1}}, 1, 1));
    EXPECT_FALSE(applyFilters(whole, {BlurFilter{4, 4, 3}}, 1, 1, [] { return false; }));
    int asked = 0;
    EXPECT_TRUE(applyFilters(stopped, {BlurFilter{4, 4, 3}}, 1, 1, [&] { return ++asked > 2; }));
    EXPECT_EQ(stopped, onePass);
    EXPECT_NE(stopped, whole);
    // A stop there from the start leaves the layer as it was.
    QImage untouched = source;
    EXPECT_TRUE(applyFilters(untouched, {BlurFilter{4, 4, 3}}, 1, 1, [] { return true; }));
    EXPECT_EQ(untouched, source);
}

TEST(BlurFilterApply, OnlyTheRequestedAxis)
{
    QImage image = canvas(21, 21);
    image.setPixel(10, 10, 0xffffffff);
    applyFilters(image, {BlurFilter{0, 6, 1}}, 1, 1);
    EXPECT_EQ(qAlpha(rawPixel(image, 11, 10)), 0);
    EXPECT_GT(qAlpha(rawPixel(image, 10, 13)), 0);
}

TEST(BlurFilterApply, AbsurdValuesStayBounded)
{
    QImage image = squareLayer();
    applyFilters(image, {BlurFilter{1e9, -5, 31}}, 1e6, std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(test::validPremultiplied(image));
    const QMarginsF m = filterMargins({BlurFilter{1e9, 1e9, 31}}, 1e6, 1e6);
    EXPECT_LT(m.left(), 1e6);
}

TEST(FilterMarginsTest, FollowBlurDistanceAndPlacement)
{
    EXPECT_EQ(filterMargins({BlurFilter{4, 8, 2}}, 1, 1), QMarginsF(4, 8, 4, 8));
    EXPECT_EQ(filterMargins({BlurFilter{4, 8, 2}}, 2, 0.5), QMarginsF(8, 4, 8, 4));
    DropShadowFilter shadow;
    shadow.blurX = shadow.blurY = 4;
    shadow.angle = 0;
    shadow.distance = 5;
    EXPECT_EQ(filterMargins({shadow}, 1, 1), QMarginsF(2, 2, 7, 2));
    shadow.inner = true;
    EXPECT_EQ(filterMargins({shadow}, 1, 1), QMarginsF());
    BevelFilter bevel;
    bevel.inner = false;
    bevel.blurX = bevel.blurY = 2;
    bevel.angle = 0;
    bevel.distance = 3;
    EXPECT_EQ(filterMargins({bevel}, 1, 1), QMarginsF(4, 1, 4, 1));
    // A box covers its outermost pixels in part: 4.5 wide reaches 2 pixels, 1 wide none.
    EXPECT_EQ(filterMargins({BlurFilter{4.5, 1, 1}}, 1, 1), QMarginsF(2, 0, 2, 0));
    EXPECT_EQ(filterMargins({BlurFilter{2, 0.5, 3}}, 1, 1), QMarginsF(3, 0, 3, 0));
    // Chained filters add up.
    EXPECT_EQ(filterMargins({BlurFilter{4, 4, 1}, BlurFilter{4, 4, 1}, ColorMatrixFilter{}}, 1, 1),
              QMarginsF(4, 4, 4, 4));
}

TEST(ColorMatrixApply, ExactValuesOnStraightColour)
{
    QImage image = canvas(2, 1);
    reinterpret_cast<QRgb*>(image.scanLine(0))[0] = qRgb(10, 20, 30);
    reinterpret_cast<QRgb*>(image.scanLine(0))[1] = qRgba(50, 25, 0, 128);
    ColorMatrixFilter swap;
    const float m[20] = {0, 0, 1, 0, 5,  0, 1, 0, 0, 0,  1, 0, 0, 0, -5,  0, 0, 0, 1, 0};
    std::copy(std::begin(m), std::end(m), swap.matrix);
    applyFilters(image, {swap}, 1, 1);
    EXPECT_EQ(rawPixel(image, 0, 0), qRgb(35, 20, 5));
    // Straight (100, 50, 0) at half alpha: swapped to (5, 50, 95), then premultiplied again.
    EXPECT_TRUE(test::near(rawPixel(image, 1, 0), qPremultiply(qRgba(5, 50, 95, 128)), 1));
}

TEST(ColorMatrixApply, AlphaRowAndClamping)
{
    QImage image = canvas(1, 1);
    image.fill(qRgb(200, 100, 0));
    ColorMatrixFilter f;
    f.matrix[0] = 2;        // red doubles and clamps
    f.matrix[18] = 0.5f;    // alpha halves
    applyFilters(image, {f}, 1, 1);
    EXPECT_EQ(rawPixel(image, 0, 0), qPremultiply(qRgba(255, 100, 0, 128)));
}

TEST(ColorMatrixApply, IdentityKeepsPixels)
{
    QImage image = canvas(256, 1);
    for (int a = 0; a < 256; ++a)
        reinterpret_cast<QRgb*>(image.scanLine(0))[a] = qRgba(a / 2, a / 3, a, a);
    const QImage before = image;
    applyFilters(image, {ColorMatrixFilter{}}, 1, 1);
    EXPECT_EQ(image, before);
}

ConvolutionFilter kernel3(std::vector<float> values, float divisor)
{
    ConvolutionFilter f;
    f.matrixX = f.matrixY = 3;
    f.matrix = std::move(values);
    f.divisor = divisor;
    return f;
}

TEST(ConvolutionApply, IdentityAndBoxOnFlatImageChangeNothing)
{
    QImage image = canvas(6, 5);
    image.fill(qRgb(40, 80, 120));
    const QImage before = image;
    applyFilters(image, {kernel3({0, 0, 0, 0, 1, 0, 0, 0, 0}, 1)}, 1, 1);
    EXPECT_EQ(image, before);
    applyFilters(image, {kernel3({1, 1, 1, 1, 1, 1, 1, 1, 1}, 9)}, 1, 1); // edges clamp
    EXPECT_EQ(image, before);
}

TEST(ConvolutionApply, DefaultColourOutsideBiasAndZeroDivisor)
{
    QImage image = canvas(3, 3);
    image.fill(qRgb(100, 100, 100));
    ConvolutionFilter f = kernel3({1, 0, 0, 0, 0, 0, 0, 0, 0}, 0); // top-left neighbour
    f.clamp = false;
    f.defaultColor = qRgb(0, 0, 255);
    f.bias = 10;
    f.preserveAlpha = true;
    applyFilters(image, {f}, 1, 1);
    EXPECT_EQ(rawPixel(image, 0, 0), qRgb(10, 10, 255));   // from outside
    EXPECT_EQ(rawPixel(image, 1, 1), qRgb(110, 110, 110)); // from inside
}

TEST(ConvolutionApply, AlphaConvolvedUnlessPreserved)
{
    QImage image = canvas(3, 1);
    image.fill(qRgb(0, 0, 0));
    ConvolutionFilter f;
    f.matrixX = 1;
    f.matrixY = 1;
    f.matrix = {0.5f};
    f.preserveAlpha = false;
    applyFilters(image, {f}, 1, 1);
    EXPECT_EQ(qAlpha(rawPixel(image, 1, 0)), 128);
}

DropShadowFilter hardShadow()
{
    DropShadowFilter f;
    f.color = qRgb(0, 0, 0);
    f.blurX = f.blurY = 0;
    f.angle = 0;
    f.distance = 5;
    f.strength = 1;
    return f;
}

TEST(DropShadowApply, OuterShadowSitsBehindTheObject)
{
    QImage image = squareLayer();
    applyFilters(image, {hardShadow()}, 1, 1);
    EXPECT_EQ(rawPixel(image, 20, 20), qRgb(255, 0, 0)); // object on top
    EXPECT_EQ(rawPixel(image, 27, 20), qRgb(0, 0, 0));   // shadow to the right
    EXPECT_EQ(rawPixel(image, 17, 20), qRgb(255, 0, 0));
    EXPECT_EQ(rawPixel(image, 12, 20), 0u);              // nothing on the far side
}

TEST(DropShadowApply, KnockoutAndHiddenObject)
{
    DropShadowFilter f = hardShadow();
    f.knockout = true;
    QImage knocked = squareLayer();
    applyFilters(knocked, {f}, 1, 1);
    EXPECT_EQ(rawPixel(knocked, 22, 20), 0u);            // object area cut out
    EXPECT_EQ(rawPixel(knocked, 27, 20), qRgb(0, 0, 0));

    f.knockout = false;
    f.compositeSource = false;
    QImage hidden = squareLayer();
    applyFilters(hidden, {f}, 1, 1);
    EXPECT_EQ(rawPixel(hidden, 22, 20), qRgb(0, 0, 0));  // shadow only, also under the object
    EXPECT_EQ(rawPixel(hidden, 17, 20), 0u);
}

TEST(DropShadowApply, InnerShadowStaysInsideOnTheLitSide)
{
    DropShadowFilter f = hardShadow();
    f.inner = true;
    f.distance = 3;
    QImage image = squareLayer();
    applyFilters(image, {f}, 1, 1);
    EXPECT_EQ(rawPixel(image, 16, 20), qRgb(0, 0, 0));   // cast by the empty left side
    EXPECT_EQ(rawPixel(image, 22, 20), qRgb(255, 0, 0));
    EXPECT_EQ(rawPixel(image, 12, 20), 0u);
    EXPECT_EQ(rawPixel(image, 27, 20), 0u);
}

TEST(DropShadowApply, StrengthAndColourAlpha)
{
    DropShadowFilter f = hardShadow();
    f.color = qRgba(0, 0, 255, 128);
    f.blurX = f.blurY = 4;
    f.strength = 0;
    QImage none = squareLayer();
    applyFilters(none, {f}, 1, 1);
    EXPECT_EQ(rawPixel(none, 28, 20), 0u);
    f.strength = 1;
    QImage some = squareLayer();
    applyFilters(some, {f}, 1, 1);
    const QRgb p = rawPixel(some, 28, 20);
    EXPECT_GT(qAlpha(p), 0);
    EXPECT_LE(qAlpha(p), 128);
    EXPECT_TRUE(test::validPremultiplied(some));
}

TEST(GlowApply, OuterGlowSurroundsInnerGlowStaysInside)
{
    GlowFilter f;
    f.color = qRgb(0, 255, 0);
    f.blurX = f.blurY = 6;
    f.strength = 2;
    QImage outer = squareLayer();
    applyFilters(outer, {f}, 1, 1);
    EXPECT_GT(qGreen(rawPixel(outer, 13, 20)), 0);
    EXPECT_GT(qGreen(rawPixel(outer, 26, 20)), 0);
    EXPECT_EQ(rawPixel(outer, 20, 20), qRgb(255, 0, 0));

    f.inner = true;
    QImage inner = squareLayer();
    applyFilters(inner, {f}, 1, 1);
    EXPECT_EQ(rawPixel(inner, 13, 20), 0u);
    EXPECT_GT(qGreen(rawPixel(inner, 15, 20)), 0);
    EXPECT_EQ(qAlpha(rawPixel(inner, 15, 20)), 255);
}

TEST(GradientGlowApply, TakesColoursFromTheRamp)
{
    GradientGlowFilter f;
    f.stops = {{qRgba(0, 0, 255, 0), 0}, {qRgba(0, 0, 255, 255), 255}};
    f.blurX = f.blurY = 6;
    f.distance = 0;
    QImage image = squareLayer();
    applyFilters(image, {f}, 1, 1);
    const QRgb near = rawPixel(image, 26, 20);
    EXPECT_GT(qBlue(near), 0);
    EXPECT_EQ(qRed(near), 0);
    EXPECT_TRUE(test::validPremultiplied(image));
}

// A white-lit, black-shaded bevel lit from the top left, 2 pixels wide and not blurred.
BevelFilter sharpWhiteOverBlackBevel()
{
    BevelFilter f;
    f.highlightColor = qRgb(255, 255, 255);
    f.shadowColor = qRgb(0, 0, 0);
    f.blurX = f.blurY = 0;
    f.angle = 0.785398;
    f.distance = 2;
    return f;
}

TEST(BevelApply, HighlightsTheLitEdgeAndShadesTheOther)
{
    BevelFilter f = sharpWhiteOverBlackBevel();
    f.inner = true;
    QImage image = squareLayer();
    applyFilters(image, {f}, 1, 1);
    const QRgb topLeft = rawPixel(image, 15, 15);
    const QRgb bottomRight = rawPixel(image, 24, 24);
    EXPECT_GT(qGreen(topLeft), 200);   // towards white
    EXPECT_LT(qRed(bottomRight), 50);  // towards black
    EXPECT_EQ(rawPixel(image, 20, 20), qRgb(255, 0, 0));
    EXPECT_EQ(rawPixel(image, 12, 12), 0u); // inner bevel leaves the outside alone
}

// A 40x40 layer with a half-transparent red 10x10 square at (15,15)..(24,24).
QImage translucentSquareLayer()
{
    QImage image = canvas(40, 40);
    QPainter(&image).fillRect(15, 15, 10, 10, QColor(255, 0, 0, 128));
    return image;
}

TEST(BevelApply, OuterBevelShowsThroughATranslucentObject)
{
    BevelFilter f = sharpWhiteOverBlackBevel();
    f.strength = 2;
    f.inner = false;
    QImage image = translucentSquareLayer();
    applyFilters(image, {f}, 1, 1);
    // The bevel lies whole under the object; the object's own half coverage is on top of it.
    const QRgb lit = rawPixel(image, 15, 15);
    EXPECT_GE(qAlpha(lit), 254);
    EXPECT_GE(qGreen(lit), 120);
    EXPECT_EQ(rawPixel(image, 12, 12), 0u); // beyond the bevel's reach
    EXPECT_GE(qAlpha(rawPixel(image, 25, 25)), 250); // the shadow just outside on the far side
    EXPECT_TRUE(test::validPremultiplied(image));

    f.knockout = true;
    QImage knocked = translucentSquareLayer();
    applyFilters(knocked, {f}, 1, 1);
    // Knockout keeps only what lies outside the object's coverage.
    EXPECT_LE(qAlpha(rawPixel(knocked, 15, 15)), 128);
    EXPECT_EQ(qRed(rawPixel(knocked, 20, 20)), 0);
}

TEST(BevelApply, FullBevelLiesOnTopInsideAndOut)
{
    BevelFilter f = sharpWhiteOverBlackBevel();
    f.inner = false;
    f.onTop = true;
    QImage image = squareLayer();
    applyFilters(image, {f}, 1, 1);
    EXPECT_EQ(rawPixel(image, 15, 15), qRgb(255, 255, 255)); // over the object's lit edge
    EXPECT_EQ(rawPixel(image, 14, 14), qRgb(255, 255, 255)); // and just outside it
    EXPECT_EQ(rawPixel(image, 20, 20), qRgb(255, 0, 0));     // the flat face shows the object

    f.knockout = true;
    QImage knocked = squareLayer();
    applyFilters(knocked, {f}, 1, 1);
    EXPECT_EQ(rawPixel(knocked, 15, 15), qRgb(255, 255, 255));
    EXPECT_EQ(rawPixel(knocked, 20, 20), 0u); // the object itself is gone
}

TEST(GlowApply, InnerGlowKeepsTheObjectCoverage)
{
    GlowFilter f;
    f.color = qRgb(0, 255, 0);
    f.blurX = f.blurY = 4;
    f.strength = 1;
    f.inner = true;
    QImage image = translucentSquareLayer();
    applyFilters(image, {f}, 1, 1);
    for (int x : {15, 16, 20}) {
        const QRgb p = rawPixel(image, x, 20);
        EXPECT_NEAR(qAlpha(p), 128, 1) << x; // painted onto the object, not over it
    }
    EXPECT_GT(qGreen(rawPixel(image, 15, 20)), qGreen(rawPixel(image, 20, 20)));
    EXPECT_EQ(rawPixel(image, 13, 20), 0u);
    EXPECT_TRUE(test::validPremultiplied(image));
}

TEST(GradientBevelApply, RampStartIsTheHighlight)
{
    GradientBevelFilter f;
    f.stops = {{qRgb(0, 255, 0), 0}, {qRgba(0, 0, 0, 0), 128}, {qRgb(0, 0, 255), 255}};
    f.blurX = f.blurY = 0;
    f.angle = 0.785398;
    f.distance = 2;
    f.inner = true;
    QImage image = squareLayer();
    applyFilters(image, {f}, 1, 1);
    EXPECT_GT(qGreen(rawPixel(image, 15, 15)), 200);
    EXPECT_GT(qBlue(rawPixel(image, 24, 24)), 200);
}

TEST(ApplyFiltersTest, ConvertsOtherFormats)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(qRgb(10, 20, 30));
    applyFilters(image, {ColorMatrixFilter{}}, 1, 1);
    EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(rawPixel(image, 1, 1), qRgb(10, 20, 30));
}

} // namespace
} // namespace vistrel::player
