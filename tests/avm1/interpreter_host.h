// A display host for interpreter tests: clips are plain script objects arranged in a tree, and every
// call the machine makes on the host is written down so a test can check what a script asked for.
#pragma once

#include <map>
#include <memory>
#include <ostream>

#include <QRegularExpression>
#include <QStringList>

#include "player/avm1/interpreter.h"
#include "player/avm1/vm.h"
#include "tests/support/action_writer.h"

namespace vistrel::testing {

class RecordingHost : public avm1::DisplayHost {
public:
    using Object = avm1::Object;
    using Value = avm1::Value;

    QStringList traces;
    QStringList calls;
    int loadedFrames = 10;
    double timer = 1234.75;

    // A clip: an object marked as a movie clip, known to the host by its parent and name.
    Object* addClip(avm1::Vm& vm, Object* parent, const QString& name) {
        Object* clip = vm.heap().make<Object>(avm1::ObjectClass::MovieClip);
        clip->setProto(vm.protos().object);
        // Any non-null display pointer marks a live clip; the host never reads it.
        clip->setDisplay(reinterpret_cast<player::DisplayObject*>(&m_displayTag));
        m_parent[clip] = parent;
        m_name[clip] = name;
        if (parent) parent->define(name, Value(clip), avm1::propflag::kDontEnum);
        return clip;
    }

    void gotoFrame(Object* c, int frame, bool play) override {
        calls << QStringLiteral("goto %1 %2 %3").arg(path(c)).arg(frame).arg(play ? "play" : "stop");
    }
    bool gotoLabel(Object* c, const QString& label, bool play) override {
        calls << QStringLiteral("label %1 %2 %3").arg(path(c), label, play ? "play" : "stop");
        return true;
    }
    void play(Object* c) override { calls << "play " + path(c); }
    void stop(Object* c) override { calls << "stop " + path(c); }
    void nextFrame(Object* c) override { calls << "next " + path(c); }
    void prevFrame(Object* c) override { calls << "prev " + path(c); }
    int currentFrame(Object*) override { return 0; }
    int framesLoaded(Object*) override { return loadedFrames; }
    int totalFrames(Object*) override { return 20; }
    int frameOfLabel(Object*, const QString& label) override { return label == u"five" ? 4 : -1; }
    Value getProperty(Object* c, int index) override {
        if (index == 13) return Value(m_name[c]);
        if (index == 11) return Value(path(c));
        return Value(index * 10);
    }
    void setProperty(Object* c, int index, const Value& v) override {
        calls << QStringLiteral("setprop %1 %2 %3").arg(path(c)).arg(index).arg(v.isNumber() ? v.asNumber() : -1);
    }
    void duplicateClip(Object* c, const QString& name, int depth) override {
        calls << QStringLiteral("duplicate %1 %2 %3").arg(path(c), name).arg(depth);
    }
    void removeClip(Object* c) override { calls << "remove " + path(c); }
    void startDrag(Object* c, bool lock, std::optional<QRectF> b) override {
        calls << QStringLiteral("drag %1 %2 %3").arg(path(c)).arg(lock).arg(
                     b ? QStringLiteral("%1,%2,%3,%4").arg(b->left()).arg(b->top()).arg(b->right()).arg(b->bottom())
                       : QStringLiteral("free"));
    }
    void stopDrag() override { calls << QStringLiteral("stopdrag"); }
    Object* level(int n) override { return n == 0 ? root() : nullptr; }
    Object* resolveTarget(Object* base, const QString& p) override {
        Object* cur = base;
        QString rest = p;
        if (rest.startsWith(u'/')) {
            cur = root();
            rest = rest.mid(1);
        }
        if (rest.startsWith(u"_root")) {
            cur = root();
            rest = rest.mid(5);
        }
        for (const QString& part : rest.split(QRegularExpression(QStringLiteral("[/.]")), Qt::SkipEmptyParts)) {
            if (!cur) return nullptr;
            if (part == u"_parent" || part == u"..") {
                cur = m_parent[cur];
                continue;
            }
            Object* next = nullptr;
            for (const auto& [clip, name] : m_name)
                if (m_parent[clip] == cur && name == part) next = clip;
            cur = next;
        }
        return cur;
    }
    QString targetPath(Object* c) override {
        if (c == root()) return QStringLiteral("_level0");
        return targetPath(m_parent[c]) + u'.' + m_name[c];
    }
    void getUrl(Object* base, const QString& url, const QString& target, int method, bool loadTarget,
                bool loadVars) override {
        calls << QStringLiteral("geturl %1 %2 %3 %4 %5 %6")
                     .arg(path(base), url, target)
                     .arg(method)
                     .arg(loadTarget)
                     .arg(loadVars);
    }
    void callFrame(Object* c, int frame) override { calls << QStringLiteral("call %1 %2").arg(path(c)).arg(frame); }
    void trace(const QString& line) override { traces << line; }
    double timerMs() override { return timer; }
    void toggleQuality() override { calls << QStringLiteral("quality"); }
    void stopSounds() override { calls << QStringLiteral("stopsounds"); }

    Object* root() {
        for (const auto& [clip, parent] : m_parent)
            if (!parent) return clip;
        return nullptr;
    }
    QString path(Object* c) {
        if (!c) return QStringLiteral("?");
        if (!m_parent[c]) return QStringLiteral("/");
        const QString up = path(m_parent[c]);
        return (up == u"/" ? up : up + u'/') + m_name[c];
    }

private:
    int m_displayTag = 0;
    std::map<Object*, Object*> m_parent;
    std::map<Object*, QString> m_name;
};

// A machine of one version with a root clip, running bytecode written with ActionWriter.
struct Machine {
    explicit Machine(int version = 10) : vm(version, &host) { root = host.addClip(vm, nullptr, QString()); }
    QStringList run(const ActionWriter& code, avm1::Object* clip = nullptr) {
        host.traces.clear();
        vm.runActions(std::make_shared<const Bytes>(code.end()), clip ? clip : root);
        return host.traces;
    }
    QStringList runBytes(const Bytes& bytes) {
        host.traces.clear();
        vm.runActions(std::make_shared<const Bytes>(bytes), root);
        return host.traces;
    }
    RecordingHost host;
    avm1::Vm vm;
    avm1::Object* root = nullptr;
};

}  // namespace vistrel::testing

// Readable failure messages for string lists.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
