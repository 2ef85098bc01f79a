#include "player/render/sampled_fill.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <span>
#include <tuple>
#include <vector>

#include <QBrush>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QTransform>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vistrel::player {

namespace {

// Sample k lies at (kSampleX[k], kSampleY[k]) within its pixel: one in each quarter row, a little
// past its middle, and the quarter columns taken in the order 2, 4, 1, 3 from the top.
constexpr double kSampleY[4] = {5.0 / 32, 13.0 / 32, 21.0 / 32, 29.0 / 32};
constexpr double kSampleX[4] = {13.0 / 32, 29.0 / 32, 5.0 / 32, 21.0 / 32};
// Fills reach no further than this many pixels from the device's origin (the same bound as the rest of
// the drawing), so their areas stay within integers.
constexpr double kFar = 1 << 24;
// How far the lines curves are cut into may stray from them, in device pixels, and the most lines
// one curve becomes.
constexpr double kFlatness = 1.0 / 8;
constexpr double kMostSteps = 256;
constexpr double kPi = 3.14159265358979323846;

struct Edge {
    double top, bottom;   // top < bottom
    double xAtTop, dxdy;
    int winding;          // +1 going down, -1 going up
};

struct Crossing {
    double x;
    std::size_t edge;
};

// The length of (x, y). The root of the squares' sum is far cheaper than hypot and as good where the
// squares neither overflow nor vanish, as they do not for device coordinates.
inline double lengthOf(double x, double y) {
    const double squares = x * x + y * y;
    return squares < 1e300 && squares > 1e-300 ? std::sqrt(squares) : std::hypot(x, y);
}

// The outlines of `path` mapped by `toDevice`, curves cut into lines that stray from them by no more
// than kFlatness device pixels: the points of all in `points`, and where each outline starts in `starts`.
struct Contours {
    std::vector<QPointF> points;
    std::vector<std::size_t> starts;   // where each outline's points start, and past the last
    bool evenOdd = false;
};

void deviceContours(const QPainterPath& path, const QTransform& toDevice, Contours& out) {
    std::vector<QPointF>& points = out.points;
    std::vector<std::size_t>& starts = out.starts;
    points.clear();
    starts.clear();
    out.evenOdd = path.fillRule() == Qt::OddEvenFill;
    const int n = path.elementCount();
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element& e = path.elementAt(i);
        const QPointF to = toDevice.map(QPointF(e.x, e.y));
        if (e.isMoveTo() || starts.empty()) {
            starts.push_back(points.size());
            points.push_back(to);
            continue;
        }
        if (e.isLineTo()) {
            points.push_back(to);
            continue;
        }
        if (!e.isCurveTo() || i + 2 >= n) continue;
        const QPointF p0 = points.back();
        const QPointF p1 = to;
        const QPointF p2 = toDevice.map(QPointF(path.elementAt(i + 1).x, path.elementAt(i + 1).y));
        const QPointF p3 = toDevice.map(QPointF(path.elementAt(i + 2).x, path.elementAt(i + 2).y));
        i += 2;
        // A cubic's distance from the lines through n points in even steps stays under 3/4 of its
        // largest second difference over n squared.
        const QPointF d1 = p0 - 2 * p1 + p2, d2 = p1 - 2 * p2 + p3;
        const double bend = std::max(lengthOf(d1.x(), d1.y()), lengthOf(d2.x(), d2.y()));
        const double steps = std::ceil(std::sqrt(0.75 * bend / kFlatness));
        const int count = std::isfinite(steps) ? static_cast<int>(std::clamp(steps, 1.0, kMostSteps)) : 1;
        for (int k = 1; k < count; ++k) {
            const double t = static_cast<double>(k) / count, u = 1 - t;
            points.push_back(u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3);
        }
        points.push_back(p3);
    }
    starts.push_back(points.size());
}

// std::ceil(v) as an int, for v well within the int range (the crossings, clamped to the area, are).
inline int ceilToInt(double v) {
    const int i = static_cast<int>(v);
    return static_cast<double>(i) < v ? i + 1 : i;
}

// A run of pixels in one row with the same count of samples inside: columns from `from` up to `to`.
struct Run {
    int from, to;
    int count;
};

// Runs of one count between the columns where the count of samples inside changes, written left to
// right into room made beforehand.
struct RunWriter {
    Run* run;
    std::size_t found = 0;
    int count = 0, start = 0;
    void change(int x, int by) {
        if (count > 0 && x > start) run[found++] = {start, x, std::min(count, 4)};
        count += by;
        start = x;
    }
};

// Puts four values in order.
inline void sortFour(int (&v)[4]) {
    const auto order = [&](int i, int j) {
        const int low = std::min(v[i], v[j]), high = std::max(v[i], v[j]);
        v[i] = low;
        v[j] = high;
    };
    order(0, 1);
    order(2, 3);
    order(0, 2);
    order(1, 3);
    order(1, 2);
}

// Calls `row(y, runs)` for each device row of `area` with samples inside `outlines` (closed, in device
// pixels), with the runs of pixels that hold any, left to right, in device columns.
template <typename Row>
void coverRows(const Contours& outlines, const QRect& area, Row&& row) {
    if (area.isEmpty()) return;
    thread_local std::vector<Edge> edges;
    edges.clear();
    const std::vector<QPointF>& points = outlines.points;
    const std::vector<std::size_t>& starts = outlines.starts;
    for (std::size_t c = 0; c + 1 < starts.size(); ++c) {
        const std::size_t first = starts[c], n = starts[c + 1] - first;
        if (n < 2) continue;
        for (std::size_t i = 0; i < n; ++i) {
            // Every contour is closed, as a fill closes it.
            QPointF a = points[first + i], b = points[i + 1 < n ? first + i + 1 : first];
            if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) || !std::isfinite(b.y())) continue;
            if (a.y() == b.y()) continue;
            int winding = 1;
            if (a.y() > b.y()) {
                std::swap(a, b);
                winding = -1;
            }
            if (b.y() <= area.top() || a.y() >= area.top() + area.height()) continue;
            // Edges reaching far beyond the rows drawn start and end just outside them: the crossings
            // stay exact where it counts, and every coordinate stays small.
            const double dxdy = (b.x() - a.x()) / (b.y() - a.y());
            if (!std::isfinite(dxdy)) continue;
            const double top = std::max(a.y(), area.top() - 1.0), bottom = std::min(b.y(), area.top() + area.height() + 1.0);
            const double x = a.y() < top ? (b.y() - top < top - a.y() ? b.x() - (b.y() - top) * dxdy : a.x() + (top - a.y()) * dxdy)
                                         : a.x();
            if (!std::isfinite(x)) continue;
            edges.push_back({top, bottom, x, dxdy, winding});
        }
    }
    if (edges.empty()) return;
    std::sort(edges.begin(), edges.end(), [](const Edge& l, const Edge& r) { return l.top < r.top; });
    const bool evenOdd = outlines.evenOdd;
    const int left = area.left(), right = area.left() + area.width();
    const double lowest = left - 1, highest = right + 1;
    thread_local std::vector<Crossing> active;   // the edges crossing the sample row, left to right
    thread_local std::vector<std::array<double, 4>> across;   // per active edge: its crossing of each sample row
    thread_local std::vector<std::array<int, 4>> columns;     // per active edge: the column each crossing counts from
    thread_local std::vector<int> steps;   // per column: how the count changes there
    thread_local std::vector<int> touched;   // the columns whose step may not be 0
    thread_local std::vector<Run> runs;
    active.clear();
    // Every step is put back to 0 once its row is done, so the columns need clearing only when first made.
    if (steps.size() <= static_cast<std::size_t>(area.width())) steps.resize(static_cast<std::size_t>(area.width()) + 1, 0);
    int* const stepAt = steps.data();   // by column from the area's left
    touched.clear();
    const Edge* const edge = edges.data();
    const std::size_t edgeCount = edges.size();
    std::size_t next = 0;
    double lowestBottom = std::numeric_limits<double>::infinity();   // of the active edges
    // Brings the set of active edges to the sample row at `y`. An edge counts for the samples below its
    // top, down to its bottom: a sample on a horizontal edge belongs to the fill above it.
    const auto advance = [&](double y) __attribute__((always_inline)) {
        if (y > lowestBottom) {
            std::erase_if(active, [&](const Crossing& c) { return edge[c.edge].bottom < y; });
            lowestBottom = std::numeric_limits<double>::infinity();
            for (const Crossing& c : active) lowestBottom = std::min(lowestBottom, edge[c.edge].bottom);
        }
        for (; next < edgeCount && edge[next].top < y; ++next) {
            if (edge[next].bottom >= y) {
                active.push_back({0, next});
                lowestBottom = std::min(lowestBottom, edge[next].bottom);
            }
        }
    };
    // Puts the active edges in order of their crossings, set beforehand. Edges keep their order from one
    // sample row to the next but where they cross, so sorting by insertion takes little more than a
    // pass over them.
    const auto order = [&] {
        Crossing* const crossing = active.data();
        for (std::size_t k = 1; k < active.size(); ++k) {
            const Crossing c = crossing[k];
            std::size_t j = k;
            for (; j > 0 && crossing[j - 1].x > c.x; --j) crossing[j] = crossing[j - 1];
            crossing[j] = c;
        }
    };
    // Brings the active edges to the sample row at `y`, in order.
    const auto reach = [&](double y) {
        advance(y);
        for (Crossing& c : active) c.x = edge[c.edge].xAtTop + (y - edge[c.edge].top) * edge[c.edge].dxdy;
        order();
    };
    // A pixel's sample in row `s` counts when it lies in a span inside the outline: from a crossing at
    // or left of the sample to the next one right of it. These are its columns.
    const auto span = [&](double from, double to, int s) {
        const double shift = kSampleX[s];
        return std::pair(std::max(left, ceilToInt(std::clamp(from - shift, lowest, highest))),
                         std::min(right, ceilToInt(std::clamp(to - shift, lowest, highest))));
    };
    const auto inside = [&](int winding) { return evenOdd ? (winding & 1) != 0 : winding != 0; };
    // A step where the count of samples inside changes, for the general way of building runs.
    const auto addSteps = [&](int from, int to) {
        int& up = stepAt[from - left];
        if (up == 0) touched.push_back(from);
        ++up;
        int& down = stepAt[to - left];
        if (down == 0) touched.push_back(to);
        --down;
    };
    // The active edges' crossings of the row's four sample rows, in their present order, and whether
    // they keep that order in the sample rows from `from` on.
    const auto crossRow = [&](int rowTop, int from) {
        const std::size_t count = active.size();
        const Crossing* const crossing = active.data();
        std::array<double, 4>* const x = across.data();
        bool ordered = true;
#if defined(__SSE2__)
        const __m128d upper = _mm_set_pd(rowTop + kSampleY[1], rowTop + kSampleY[0]);
        const __m128d lower = _mm_set_pd(rowTop + kSampleY[3], rowTop + kSampleY[2]);
        __m128d leftUpper = _mm_set1_pd(-std::numeric_limits<double>::infinity()), leftLower = leftUpper;
        const int skipped = from == 0 ? 0 : from == 1 ? 1 : 3;   // sample rows not checked, as bits
        for (std::size_t k = 0; k < count; ++k) {
            const Edge& e = edge[crossing[k].edge];
            const __m128d top = _mm_set1_pd(e.top), start = _mm_set1_pd(e.xAtTop), slope = _mm_set1_pd(e.dxdy);
            const __m128d atUpper = _mm_add_pd(start, _mm_mul_pd(_mm_sub_pd(upper, top), slope));
            const __m128d atLower = _mm_add_pd(start, _mm_mul_pd(_mm_sub_pd(lower, top), slope));
            _mm_storeu_pd(x[k].data(), atUpper);
            _mm_storeu_pd(x[k].data() + 2, atLower);
            ordered = ordered && ((_mm_movemask_pd(_mm_cmple_pd(leftUpper, atUpper)) | skipped) & 3) == 3 &&
                      _mm_movemask_pd(_mm_cmple_pd(leftLower, atLower)) == 3;
            leftUpper = atUpper;
            leftLower = atLower;
        }
#else
        for (std::size_t k = 0; k < count; ++k) {
            const Edge& e = edge[crossing[k].edge];
            for (int s = 0; s < 4; ++s) x[k][s] = e.xAtTop + (rowTop + kSampleY[s] - e.top) * e.dxdy;
            if (k > 0)
                for (int s = from; s < 4; ++s) ordered = ordered && x[k - 1][s] <= x[k][s];
        }
#endif
        return ordered;
    };
    // The column each crossing counts from in its sample row: a span between two crossings holds the
    // columns from the left one's up to the right one's. Clamped to the area, a span's columns are the
    // same, and an empty span stays empty.
    const auto countFrom = [&](std::size_t count) {
        const std::array<double, 4>* const x = across.data();
        std::array<int, 4>* const column = columns.data();
#if defined(__SSE2__)
        const __m128d shiftUpper = _mm_set_pd(kSampleX[1], kSampleX[0]), shiftLower = _mm_set_pd(kSampleX[3], kSampleX[2]);
        const __m128d low = _mm_set1_pd(left), high = _mm_set1_pd(right);
        // std::ceil as ints, for values well within the int range: truncated, and one more where that
        // fell short.
        const auto ceilings = [](__m128d v) {
            const __m128i whole = _mm_cvttpd_epi32(v);
            const __m128d below = _mm_cmplt_pd(_mm_cvtepi32_pd(whole), v);
            return _mm_sub_epi32(whole, _mm_shuffle_epi32(_mm_castpd_si128(below), _MM_SHUFFLE(3, 3, 2, 0)));
        };
        for (std::size_t k = 0; k < count; ++k) {
            const __m128d upper = _mm_min_pd(_mm_max_pd(_mm_sub_pd(_mm_loadu_pd(x[k].data()), shiftUpper), low), high);
            const __m128d lower = _mm_min_pd(_mm_max_pd(_mm_sub_pd(_mm_loadu_pd(x[k].data() + 2), shiftLower), low), high);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(column[k].data()), _mm_unpacklo_epi64(ceilings(upper), ceilings(lower)));
        }
#else
        for (std::size_t k = 0; k < count; ++k)
            for (int s = 0; s < 4; ++s)
                column[k][s] = ceilToInt(std::clamp(x[k][s] - kSampleX[s], static_cast<double>(left), static_cast<double>(right)));
#endif
    };
    // Rows above the first edge hold nothing.
    const int startRow = std::clamp(static_cast<int>(std::floor(edges.front().top)) - area.top(), 0, area.height());
    for (int r = startRow; r < area.height(); ++r) {
        if (next == edgeCount && active.empty()) break;
        const int rowTop = area.top() + r;
        const double first = rowTop + kSampleY[0];
        advance(first);
        // Mostly no edge starts or ends among the row's samples, and none passes another: then the
        // same spans lie inside in all four sample rows, found in one pass, and the row's count
        // changes come straight from their ends.
        const double last = rowTop + kSampleY[3];
        bool steady = last <= lowestBottom && (next == edgeCount || edge[next].top >= last);
        bool placed = false;   // whether the active edges hold their crossings of the first sample row
        const std::size_t crossings = active.size();
        if (steady && crossings >= 2) {
            if (across.size() < crossings) {
                across.resize(crossings);
                columns.resize(crossings);
            }
            if (!crossRow(rowTop, 0)) {
                // An edge came in, or edges passed each other: in order at the first sample row, they
                // may still keep it through the others.
                for (std::size_t k = 0; k < crossings; ++k) active[k].x = across[k][0];
                order();
                placed = true;
                steady = crossRow(rowTop, 1);
            }
        }
        if (steady) {
            if (crossings < 2) continue;
            countFrom(crossings);
            const std::array<int, 4>* const column = columns.data();
            const Crossing* const crossing = active.data();
            // Each span's four sample rows give up to four starts and four ends; where the spans' columns
            // do not overlap, they turn into runs directly, left to right.
            if (runs.size() < 8 * crossings) runs.resize(8 * crossings);
            RunWriter out{runs.data()};
            int reached = std::numeric_limits<int>::min();
            bool direct = true;
            int winding = 0;
            for (std::size_t k = 0; k + 1 < crossings && direct; ++k) {
                winding += edge[crossing[k].edge].winding;
                if (!inside(winding)) continue;
                const std::array<int, 4>& froms = column[k];
                const std::array<int, 4>& tos = column[k + 1];
                int starts[4] = {froms[0], froms[1], froms[2], froms[3]};
                int ends[4] = {tos[0], tos[1], tos[2], tos[3]};
                sortFour(starts);
                sortFour(ends);
                if (starts[0] < reached) {
                    direct = false;
                    break;
                }
                if (starts[3] <= ends[0]) {
                    // The span of every sample row holds the columns from the last start to the first end:
                    // the count climbs by one at each start and falls by one at each end.
                    Run* put = out.run + out.found;
                    const auto step = [&put](int from, int to, int count) {
                        *put = {from, to, count};
                        put += from < to;
                    };
                    step(starts[0], starts[1], 1);
                    step(starts[1], starts[2], 2);
                    step(starts[2], starts[3], 3);
                    step(starts[3], ends[0], 4);
                    step(ends[0], ends[1], 3);
                    step(ends[1], ends[2], 2);
                    step(ends[2], ends[3], 1);
                    out.found = static_cast<std::size_t>(put - out.run);
                    reached = ends[3];
                    continue;
                }
                // A sliver: only the sample rows whose span holds a column count.
                int n = 0;
                for (int s = 0; s < 4; ++s) {
                    if (froms[s] >= tos[s]) continue;
                    starts[n] = froms[s];
                    ends[n] = tos[s];
                    ++n;
                }
                if (n == 0) continue;
                std::sort(starts, starts + n);
                std::sort(ends, ends + n);
                for (int i = 0, j = 0; j < n;) {
                    const int x = i < n && starts[i] <= ends[j] ? starts[i] : ends[j];
                    int by = 0;
                    for (; i < n && starts[i] == x; ++i) ++by;
                    for (; j < n && ends[j] == x; ++j) --by;
                    if (by != 0) out.change(x, by);
                }
                reached = ends[n - 1];
            }
            if (direct) {
                if (out.found > 0) row(rowTop, std::span<const Run>(out.run, out.found));
                continue;
            }
            winding = 0;
            for (std::size_t k = 0; k + 1 < crossings; ++k) {
                winding += edge[crossing[k].edge].winding;
                if (!inside(winding)) continue;
                for (int s = 0; s < 4; ++s)
                    if (column[k][s] < column[k + 1][s]) addSteps(column[k][s], column[k + 1][s]);
            }
        } else {
            for (int s = 0; s < 4; ++s) {
                if (s > 0) reach(rowTop + kSampleY[s]);
                else if (!placed) reach(first);
                if (active.size() < 2) continue;
                const Crossing* const crossing = active.data();
                int winding = 0;
                for (std::size_t k = 0; k + 1 < active.size(); ++k) {
                    winding += edge[crossing[k].edge].winding;
                    if (!inside(winding)) continue;
                    const auto [from, to] = span(crossing[k].x, crossing[k + 1].x, s);
                    if (from < to) addSteps(from, to);
                }
            }
        }
        if (touched.empty()) continue;
        // The count changes only where a step lies: runs of one count between them. A row holds a few
        // steps, nearly in order, where sorting by insertion is quickest.
        if (touched.size() <= 32) {
            for (std::size_t k = 1; k < touched.size(); ++k) {
                const int x = touched[k];
                std::size_t j = k;
                for (; j > 0 && touched[j - 1] > x; --j) touched[j] = touched[j - 1];
                touched[j] = x;
            }
        } else {
            std::sort(touched.begin(), touched.end());
        }
        // At most one run starts at each step: room for them all is made once, and filled in place.
        if (runs.size() < touched.size()) runs.resize(touched.size());
        RunWriter out{runs.data()};
        for (const int x : touched) {
            int& step = stepAt[x - left];
            if (step == 0) continue;   // steps that cancelled out
            out.change(x, step);
            step = 0;
        }
        touched.clear();
        if (out.found > 0) row(rowTop, std::span<const Run>(out.run, out.found));
    }
}

// x * a / 255 for each channel of x, rounded as the painter's own blending does.
inline QRgb byteMul(QRgb x, unsigned a) {
    unsigned t = (x & 0xff00ffu) * a;
    t = (t + ((t >> 8) & 0xff00ffu) + 0x800080u) >> 8;
    t &= 0xff00ffu;
    x = ((x >> 8) & 0xff00ffu) * a;
    x = x + ((x >> 8) & 0xff00ffu) + 0x800080u;
    x &= 0xff00ff00u;
    return x | t;
}

// Sets `n` pixels from `line` on to `color`.
void setPixels(QRgb* line, int n, QRgb color) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i four = _mm_set1_epi32(static_cast<int>(color));
    for (; x + 16 <= n; x += 16) {
        auto* const at = reinterpret_cast<__m128i*>(line + x);
        _mm_storeu_si128(at, four);
        _mm_storeu_si128(at + 1, four);
        _mm_storeu_si128(at + 2, four);
        _mm_storeu_si128(at + 3, four);
    }
    for (; x + 4 <= n; x += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(line + x), four);
#endif
    for (; x < n; ++x) line[x] = color;
}

// Lays `level` (premultiplied) over `n` pixels from `line` on, which keep `kept` / 255 of themselves:
// pixel = level + byteMul(pixel, kept), four pixels at a time where the processor allows.
void blendPixels(QRgb* line, int n, QRgb level, unsigned kept) {
    // Runs along edges are mostly a single pixel.
    if (n == 1) {
        line[0] = level + byteMul(line[0], kept);
        return;
    }
    int x = 0;
#if defined(__SSE2__)
    // Each channel widened to 16 bits: its product with `kept` and the rounding stay below 65536, so
    // the lanes give byteMul's results exactly.
    const __m128i zero = _mm_setzero_si128();
    const __m128i factor = _mm_set1_epi16(static_cast<short>(kept));
    const __m128i half = _mm_set1_epi16(0x80);
    const __m128i over = _mm_set1_epi32(static_cast<int>(level));
    const auto scale = [&](__m128i channels) {
        channels = _mm_mullo_epi16(channels, factor);
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(channels, _mm_srli_epi16(channels, 8)), half), 8);
    };
    for (; x + 4 <= n; x += 4) {
        auto* const at = reinterpret_cast<__m128i*>(line + x);
        const __m128i pixels = _mm_loadu_si128(at);
        const __m128i low = scale(_mm_unpacklo_epi8(pixels, zero)), high = scale(_mm_unpackhi_epi8(pixels, zero));
        _mm_storeu_si128(at, _mm_add_epi32(_mm_packus_epi16(low, high), over));
    }
    // Runs along edges are mostly a pixel or two wide: those go two at a time too.
    if (x + 2 <= n) {
        auto* const at = reinterpret_cast<__m128i*>(line + x);
        const __m128i low = scale(_mm_unpacklo_epi8(_mm_loadl_epi64(at), zero));
        _mm_storel_epi64(at, _mm_add_epi32(_mm_packus_epi16(low, zero), over));
        x += 2;
    }
#endif
    for (; x < n; ++x) line[x] = level + byteMul(line[x], kept);
}

// The premultiplied colour `c` at k of 4 samples.
QRgb atSamples(QRgb c, int k) {
    return k >= 4 ? c : byteMul(c, static_cast<unsigned>((255 * k + 2) / 4));
}

// Fills `outlines` (in device pixels, within `box`) with `brush`, which `p`'s transform places.
void fillContours(QPainter& p, const Contours& outlines, const QRectF& box, const QBrush& brush, const QRegion* clip) {
    const QTransform device = p.transform();
    if (!std::isfinite(box.left()) || !std::isfinite(box.right()) || !std::isfinite(box.top()) || !std::isfinite(box.bottom()))
        return;
    const QRectF reach = box.intersected(QRectF(-kFar, -kFar, 2 * kFar, 2 * kFar));
    if (reach.isEmpty()) return;
    QRect area = reach.toAlignedRect();
    QPaintDevice* const target = p.device();
    if (target) area &= QRect(0, 0, target->width(), target->height());
    const bool clipped = p.hasClipping();
    if (clipped) area &= device.mapRect(p.clipBoundingRect()).toAlignedRect();
    if (area.isEmpty()) return;
    // A solid colour laid over a picture the painter draws on, through no clip or a clip known to be a
    // set of rectangles, is blended into its pixels here: the same result as the painter's, at far less
    // cost than a picture of the fill handed to it.
    QImage* const image = target && target->devType() == QInternal::Image ? static_cast<QImage*>(target) : nullptr;
    if (brush.style() == Qt::SolidPattern && image && image->format() == QImage::Format_ARGB32_Premultiplied &&
        p.compositionMode() == QPainter::CompositionMode_SourceOver && p.opacity() >= 1.0 && (!clipped || clip)) {
        const QRgb color = qPremultiply(brush.color().rgba());
        if (qAlpha(color) == 0) return;
        const QRgb levels[5] = {0, atSamples(color, 1), atSamples(color, 2), atSamples(color, 3), color};
        const unsigned keep[5] = {255, 255u - qAlpha(levels[1]), 255u - qAlpha(levels[2]), 255u - qAlpha(levels[3]),
                                  255u - qAlpha(color)};
        thread_local std::vector<QRect> rects;
        rects.clear();
        if (clipped) {
            for (const QRect& r : *clip)
                if (r.intersects(area)) rects.push_back(r & area);
        } else {
            rects.push_back(area);
        }
        if (rects.empty()) return;
        uchar* const bits = image->bits();
        const qsizetype stride = image->bytesPerLine();
        coverRows(outlines, area, [&](int y, std::span<const Run> runs) {
            auto* line = reinterpret_cast<QRgb*>(bits + stride * y);
            for (const QRect& r : rects) {
                if (y < r.top() || y > r.bottom()) continue;
                for (const Run& run : runs) {
                    const int from = std::max(run.from, r.left()), to = std::min(run.to, r.right() + 1);
                    if (from >= to) continue;
                    const QRgb level = levels[run.count];
                    const unsigned kept = keep[run.count];
                    if (kept == 0) setPixels(line + from, to - from, level);
                    else blendPixels(line + from, to - from, level, kept);
                }
            }
        });
        return;
    }
    // Otherwise the fill becomes a picture of the area, clear where no sample is inside, which the
    // painter lays down with its clip, opacity and composition mode.
    thread_local QImage scratch;
    if (scratch.width() < area.width() || scratch.height() < area.height())
        scratch = QImage(area.size().expandedTo(scratch.size()), QImage::Format_ARGB32_Premultiplied);
    if (scratch.isNull()) return;
    QImage sprite(scratch.bits(), area.width(), area.height(), scratch.bytesPerLine(), QImage::Format_ARGB32_Premultiplied);
    const bool solid = brush.style() == Qt::SolidPattern;
    if (!solid) {
        QPainter brushPainter(&sprite);
        brushPainter.setRenderHints(p.renderHints());
        brushPainter.setCompositionMode(QPainter::CompositionMode_Source);
        QBrush placed = brush;
        placed.setTransform(brush.transform() * device * QTransform::fromTranslate(-area.left(), -area.top()));
        brushPainter.fillRect(sprite.rect(), placed);
    }
    const QRgb color = solid ? qPremultiply(brush.color().rgba()) : 0;
    int top = area.bottom() + 1, bottom = area.top() - 1, left = area.right() + 1, right = area.left() - 1;
    int cleared = area.top();   // rows above this are cleared or written
    const auto clear = [&](int from, int to) {
        for (int y = from; y < to; ++y)
            std::fill_n(reinterpret_cast<QRgb*>(sprite.scanLine(y - area.top())), area.width(), QRgb{0});
    };
    coverRows(outlines, area, [&](int y, std::span<const Run> runs) {
        clear(cleared, y);
        cleared = y + 1;
        QRgb* const line = reinterpret_cast<QRgb*>(sprite.scanLine(y - area.top()));
        int done = 0;   // pixels of the row left of this are written
        for (const Run& run : runs) {
            const int from = run.from - area.left(), to = run.to - area.left();
            std::fill(line + done, line + from, QRgb{0});
            if (solid) {
                std::fill(line + from, line + to, atSamples(color, run.count));
            } else if (run.count < 4) {
                for (int x = from; x < to; ++x) line[x] = atSamples(line[x], run.count);
            }
            done = to;
        }
        std::fill(line + done, line + area.width(), QRgb{0});
        top = std::min(top, y);
        bottom = y;
        left = std::min(left, runs.front().from);
        right = std::max(right, runs.back().to - 1);
    });
    if (bottom < top || right < left) return;
    const QRect hit(QPoint(left, top), QPoint(right, bottom));
    p.setTransform(QTransform());
    p.drawImage(hit.topLeft(), sprite, hit.translated(-area.topLeft()));
    p.setTransform(device);
}

}  // namespace

void fillSampled(QPainter& p, const QPainterPath& path, const QBrush& brush, const QRegion* clip) {
    if (brush.style() == Qt::NoBrush) return;
    thread_local Contours outlines;
    deviceContours(path, p.transform(), outlines);
    fillContours(p, outlines, p.transform().mapRect(path.controlPointRect()), brush, clip);
}

void strokeSampled(QPainter& p, const QPainterPath& path, double width, const QBrush& brush, const QRegion* clip) {
    if (brush.style() == Qt::NoBrush || !(width > 0) || !std::isfinite(width)) return;
    thread_local Contours lines, outlines;
    deviceContours(path, p.transform(), lines);
    outlines.points.clear();
    outlines.starts.clear();
    outlines.evenOdd = false;
    const double half = width / 2;
    // Round ends and corners are discs, with sides short enough to stay within kFlatness of the circle.
    const int sides = std::clamp(static_cast<int>(std::ceil(kPi / std::sqrt(2 * kFlatness / half))), 8, 128);
    thread_local std::vector<QPointF> circle;   // the disc's corners around the origin
    thread_local double circleHalf = 0;          // for lines of this half width
    if (circleHalf != half) {
        circle.clear();
        for (int k = 0; k < sides; ++k) {
            // Turning the same way as the pieces along the lines, so where they overlap the windings add.
            const double angle = -2 * kPi * k / sides;
            circle.push_back(QPointF(std::cos(angle), std::sin(angle)) * half);
        }
        circleHalf = half;
    }
    const auto disc = [&](QPointF centre) {
        outlines.starts.push_back(outlines.points.size());
        for (const QPointF& corner : circle) outlines.points.push_back(centre + corner);
    };
    // The offset half the width to the left of the way from a to b (null when they meet).
    const auto across = [&](QPointF a, QPointF b) {
        const QPointF d = b - a;
        const double length = lengthOf(d.x(), d.y());
        return length > 0 ? QPointF(-d.y() * half / length, d.x() * half / length) : QPointF();
    };
    const auto piece = [&](QPointF a, QPointF b, QPointF n) {
        if (n.isNull()) return;
        outlines.starts.push_back(outlines.points.size());
        outlines.points.insert(outlines.points.end(), {a + n, b + n, b - n, a - n});
    };
    // Pieces meeting at an angle leave a wedge open on the outside of the corner, from the line's middle
    // out: a triangle on each side closes it (the inner one lies where the pieces overlap), turned the
    // same way as the pieces.
    const auto wedges = [&](QPointF corner, QPointF n1, QPointF n2) {
        const bool flip = n1.x() * n2.y() - n1.y() * n2.x() > 0;
        for (const double side : {1.0, -1.0}) {
            const QPointF a = corner + side * n1, b = corner + side * n2;
            outlines.starts.push_back(outlines.points.size());
            if (flip) outlines.points.insert(outlines.points.end(), {corner, b, a});
            else outlines.points.insert(outlines.points.end(), {corner, a, b});
        }
    };
    double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
    for (std::size_t c = 0; c + 1 < lines.starts.size(); ++c) {
        const std::size_t first = lines.starts[c], last = lines.starts[c + 1];
        if (first == last) continue;
        const QPointF* pt = lines.points.data();
        disc(pt[first]);
        // Each piece's offset serves its own band and the corners at both its ends.
        QPointF n2 = last - first > 1 ? across(pt[first], pt[first + 1]) : QPointF();
        for (std::size_t i = first + 1; i < last; ++i) {
            const QPointF n1 = n2;
            piece(pt[i - 1], pt[i], n1);
            if (i + 1 < last) {
                n2 = across(pt[i], pt[i + 1]);
                if (n1.isNull() || n2.isNull() || n1 == n2) continue;
                wedges(pt[i], n1, n2);
                // Where the straight edge across the wedge strays from the round corner by more than a
                // fraction of a sample's spacing, the corner is a disc: half the width times
                // 1 - cos(turn / 2).
                const double cosine = (n1.x() * n2.x() + n1.y() * n2.y()) / (half * half);
                if (half * (1 - std::sqrt(std::max(0.0, (1 + cosine) / 2))) > kFlatness / 4) disc(pt[i]);
            }
        }
        if (last - first > 1) disc(pt[last - 1]);
        for (std::size_t i = first; i < last; ++i) {
            x0 = std::min(x0, pt[i].x());
            y0 = std::min(y0, pt[i].y());
            x1 = std::max(x1, pt[i].x());
            y1 = std::max(y1, pt[i].y());
        }
    }
    outlines.starts.push_back(outlines.points.size());
    if (outlines.points.empty()) return;
    const QRectF box(QPointF(x0 - half - 1, y0 - half - 1), QPointF(x1 + half + 1, y1 + half + 1));
    const QTransform device = p.transform();
    p.setTransform(QTransform());
    QBrush placed = brush;
    if (brush.style() != Qt::SolidPattern) placed.setTransform(brush.transform() * device);
    fillContours(p, outlines, box, placed, clip);
    p.setTransform(device);
}

}  // namespace vistrel::player
