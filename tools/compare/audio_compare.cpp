// vistrel-audio-compare A.wav B.wav [MAX_LAG_MS]: aligns two recordings of the same sound and prints
// "NCC LAG_MS": the normalised cross-correlation (-1..1) of their mono mixes at the best lag within
// MAX_LAG_MS (default 1000), and that lag (positive: B starts later than A). Energy is taken over both
// whole signals, so a part one of them lacks lowers the figure. Both files must be 16-bit PCM WAV at the
// same rate. Prints "silent" when either holds no sound. Exit code 0 when both were read, 2 otherwise.

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Wav {
    int rate = 0;
    std::vector<double> mono;
};

std::uint32_t le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
std::uint16_t le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

bool readWav(const char* path, Wav& wav) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0)
        return false;
    int channels = 0, bits = 0;
    std::size_t at = 12;
    while (at + 8 <= b.size()) {
        const std::uint32_t size = le32(&b[at + 4]);
        const std::size_t body = at + 8;
        const std::size_t avail = std::min<std::size_t>(size, b.size() - body);
        if (std::memcmp(&b[at], "fmt ", 4) == 0 && avail >= 16) {
            channels = le16(&b[body + 2]);
            wav.rate = static_cast<int>(le32(&b[body + 4]));
            bits = le16(&b[body + 14]);
        } else if (std::memcmp(&b[at], "data", 4) == 0) {
            if (channels <= 0 || bits != 16) return false;
            const std::size_t frames = avail / (2 * static_cast<std::size_t>(channels));
            wav.mono.resize(frames);
            for (std::size_t i = 0; i < frames; ++i) {
                double sum = 0;
                for (int c = 0; c < channels; ++c)
                    sum += static_cast<std::int16_t>(le16(&b[body + 2 * (i * static_cast<std::size_t>(channels) + c)]));
                wav.mono[i] = sum / channels;
            }
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
}

void fft(std::vector<std::complex<double>>& a, bool inverse) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double angle = 2 * M_PI / static_cast<double>(len) * (inverse ? 1 : -1);
        const std::complex<double> w(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> wn(1);
            for (std::size_t k = 0; k < len / 2; ++k) {
                const auto u = a[i + k], v = a[i + k + len / 2] * wn;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                wn *= w;
            }
        }
    }
    if (inverse)
        for (auto& x : a) x /= static_cast<double>(n);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vistrel-audio-compare A.wav B.wav [MAX_LAG_MS]\n");
        return 1;
    }
    Wav a, b;
    if (!readWav(argv[1], a) || !readWav(argv[2], b)) {
        std::printf("unreadable\n");
        return 2;
    }
    if (a.rate != b.rate || a.rate <= 0) {
        std::printf("rates differ: %d and %d\n", a.rate, b.rate);
        return 2;
    }
    // Ten minutes at most of each: enough for any movie's sound, and the transform stays in memory.
    const std::size_t cap = static_cast<std::size_t>(a.rate) * 600;
    if (a.mono.size() > cap) a.mono.resize(cap);
    if (b.mono.size() > cap) b.mono.resize(cap);
    double ea = 0, eb = 0;
    for (double x : a.mono) ea += x * x;
    for (double x : b.mono) eb += x * x;
    if (ea <= 0 || eb <= 0) {
        std::printf("silent\n");
        return 0;
    }
    const double maxLagMs = argc > 3 ? std::atof(argv[3]) : 1000.0;
    const auto maxLag = static_cast<long long>(maxLagMs * a.rate / 1000.0);
    std::size_t n = 1;
    while (n < a.mono.size() + b.mono.size()) n <<= 1;
    std::vector<std::complex<double>> fa(n), fb(n);
    for (std::size_t i = 0; i < a.mono.size(); ++i) fa[i] = a.mono[i];
    for (std::size_t i = 0; i < b.mono.size(); ++i) fb[i] = b.mono[i];
    fft(fa, false);
    fft(fb, false);
    for (std::size_t i = 0; i < n; ++i) fa[i] = std::conj(fa[i]) * fb[i];
    fft(fa, true);
    // fa[k] now holds sum a[i] * b[i + k], negative k wrapped to the end.
    double best = -1e300;
    long long bestLag = 0;
    for (long long lag = -maxLag; lag <= maxLag; ++lag) {
        const std::size_t k = lag >= 0 ? static_cast<std::size_t>(lag) : n - static_cast<std::size_t>(-lag);
        if (k >= n) continue;
        const double v = fa[k].real();
        if (v > best) {
            best = v;
            bestLag = lag;
        }
    }
    std::printf("%.4f %.1f\n", best / std::sqrt(ea * eb), 1000.0 * static_cast<double>(bestLag) / a.rate);
    return 0;
}
