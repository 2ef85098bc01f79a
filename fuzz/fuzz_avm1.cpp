// The ActionScript machine on any bytes: the first byte picks the movie version, the rest runs as one
// action list on a fresh machine whose display host does nothing. Whatever the code does (deep
// recursion, endless loops, huge arrays, damaged records), it must end within the time limit, without
// a fault and within bounded memory.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "player/avm1/interpreter.h"
#include "player/avm1/vm.h"

namespace {

namespace avm1 = vistrel::avm1;

// A display host with no display list: clips are never found, every request is ignored.
class StubHost : public avm1::DisplayHost {
public:
    using Object = avm1::Object;
    using Value = avm1::Value;
    void gotoFrame(Object*, int, bool) override {}
    bool gotoLabel(Object*, const QString&, bool) override { return false; }
    void play(Object*) override {}
    void stop(Object*) override {}
    void nextFrame(Object*) override {}
    void prevFrame(Object*) override {}
    int currentFrame(Object*) override { return 0; }
    int framesLoaded(Object*) override { return 1; }
    int totalFrames(Object*) override { return 1; }
    int frameOfLabel(Object*, const QString&) override { return -1; }
    Value getProperty(Object*, int) override { return {}; }
    void setProperty(Object*, int, const Value&) override {}
    void duplicateClip(Object*, const QString&, int) override {}
    void removeClip(Object*) override {}
    void startDrag(Object*, bool, std::optional<QRectF>) override {}
    void stopDrag() override {}
    Object* level(int) override { return nullptr; }
    Object* resolveTarget(Object*, const QString&) override { return nullptr; }
    QString targetPath(Object*) override { return QStringLiteral("_level0"); }
    void getUrl(Object*, const QString&, const QString&, int, bool, bool) override {}
    void callFrame(Object*, int) override {}
    void trace(const QString& line) override { m_traced += line.size(); }
    double timerMs() override { return 0; }
    void toggleQuality() override {}
    void stopSounds() override {}

private:
    std::size_t m_traced = 0;
};

// Short enough that endless loops keep the fuzzer fast, long enough for real work to finish.
constexpr int kTimeLimitMs = 250;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int version = 4 + data[0] % 7;   // 4 to 10
    auto code = std::make_shared<const std::vector<std::uint8_t>>(data + 1, data + size);
    StubHost host;
    avm1::Vm vm(version, &host);
    vm.setTimeLimitMs(kTimeLimitMs);
    // A timeline object for `this` and the variables the code sets.
    avm1::Object* clip = vm.makeObject();
    vm.runActions(code, clip);
    // Collection after a script must cope with whatever the script left behind.
    vm.collectGarbage([clip](avm1::Heap& heap) { heap.mark(clip); });
    vm.runActions(code, clip);
    return 0;
}
