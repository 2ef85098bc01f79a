#pragma once
// A movie playing `actions` in its first frame, with what it traces collected; its machine can also be
// driven from C++ (members, calls, constructors by dotted path), for tests of the stage's objects.

#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "player/avm1/vm.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/stage.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace vistrel::testing {

// Plays `frames` frames (the first counts as one) of the movie `spec` and `tags` make, and returns what
// its scripts traced.
inline std::vector<std::string> playTraced(const MovieSpec& spec, const std::vector<Bytes>& tags, int frames = 1) {
    std::vector<std::string> lines;
    player::Player player(player::Movie::fromBytes(movie(spec, tags)),
                          [&lines](const QString& line) { lines.push_back(line.toStdString()); });
    for (int i = 1; i < frames; ++i) player.nextFrame();
    return lines;
}

// The same for a movie of `version` on a white stage, its header naming `frameCount` frames.
inline std::vector<std::string> playOnWhite(const std::vector<Bytes>& tags, int version, int frames,
                                            int frameCount) {
    MovieSpec spec;
    spec.version = version;
    spec.frameCount = static_cast<std::uint16_t>(frameCount);
    std::vector<Bytes> all{setBackgroundColor(0xffffff)};
    all.insert(all.end(), tags.begin(), tags.end());
    return playTraced(spec, all, frames);
}

class ScriptMovie {
public:
    using Value = avm1::Value;

    // `lead` is a tag placed before the first frame's actions (a definition they use), if any.
    explicit ScriptMovie(int version = 10, const Bytes& actions = ActionWriter().end(), const Bytes& lead = {},
                         int widthPx = 320, int heightPx = 240) {
        MovieSpec spec;
        spec.version = version;
        spec.widthTwips = widthPx * 20;
        spec.heightTwips = heightPx * 20;
        std::vector<Bytes> tags;
        if (!lead.empty()) tags.push_back(lead);
        tags.push_back(doAction(actions));
        tags.push_back(showFrame());
        auto movie = player::Movie::fromBytes(testing::movie(spec, tags));
        player = std::make_unique<player::Player>(movie, [this](const QString& line) { lines.push_back(line.toStdString()); });
    }

    avm1::Vm& vm() { return *player->stage().vm(); }
    Value root() { return Value(player->stage().scriptObject(player->stage().rootObject())); }
    // A dotted path from the global object: "flash.geom.Point".
    Value path(const char* dotted) {
        Value v(vm().global());
        for (const QString& part : QString::fromUtf8(dotted).split(QLatin1Char('.'))) v = vm().getMember(v, part);
        return v;
    }
    Value call(const Value& object, const char* method, std::initializer_list<Value> args = {}) {
        const std::vector<Value> list(args);
        return vm().callMethod(object, QString::fromUtf8(method), list);
    }
    Value make(const char* ctor, std::initializer_list<Value> args = {}) {
        const std::vector<Value> list(args);
        return vm().construct(path(ctor), list);
    }
    Value get(const Value& o, const char* name) { return vm().getMember(o, QString::fromUtf8(name)); }
    void set(const Value& o, const char* name, const Value& v) { vm().setMember(o, QString::fromUtf8(name), v); }
    std::string str(const Value& v) { return vm().toString(v).toStdString(); }
    double num(const Value& v) { return vm().toNumber(v); }
    Value object() { return Value(vm().makeObject()); }
    Value array(std::vector<Value> v) { return Value(vm().makeArray(std::move(v))); }
    // A native function that records each call as "tag arg1 arg2..." in `log`: a stand-in for a script's
    // listener method.
    Value recorder(std::vector<std::string>& log, const std::string& tag) {
        return Value(vm().makeFunction(QStringLiteral("f"), [&log, tag](avm1::Vm& vm, const Value&,
                                                                         std::span<const Value> args) {
            std::string line = tag;
            for (const Value& a : args) line += " " + vm.toString(a).toStdString();
            log.push_back(line);
            return Value();
        }));
    }

    std::unique_ptr<player::Player> player;
    std::vector<std::string> lines;
};

}  // namespace vistrel::testing
