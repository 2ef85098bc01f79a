// A display host with no display list, for running the machine on its own (the bytecode fuzzer, the
// benchmark): clips are never found, every request is ignored, traced lines are dropped.
#pragma once

#include "player/avm1/vm.h"

namespace vistrel::avm1 {

class NullDisplayHost : public DisplayHost {
public:
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
    void trace(const QString&) override {}
    double timerMs() override { return 0; }
    void toggleQuality() override {}
    void stopSounds() override {}
};

}  // namespace vistrel::avm1
