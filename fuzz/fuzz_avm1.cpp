// The ActionScript machine on any bytes: the first byte picks the movie version, the rest runs as one
// action list on a fresh machine whose display host does nothing. Whatever the code does (deep
// recursion, endless loops, huge arrays, damaged records), it must end within the time limit, without
// a fault and within bounded memory.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "player/avm1/interpreter.h"
#include "player/avm1/null_display_host.h"
#include "player/avm1/vm.h"

namespace {

namespace avm1 = vistrel::avm1;

// Keeps what is traced countable, so tracing is not optimised away.
class StubHost : public avm1::NullDisplayHost {
public:
    void trace(const QString& line) override { m_traced += line.size(); }

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
