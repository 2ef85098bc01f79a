// What the ActionScript machine asks of the display list, answered on one stage.
#pragma once

#include "player/avm1/vm.h"

namespace vistrel::player {

class Stage;
class SpriteInstance;
struct DisplayObject;

class ScriptHost : public avm1::DisplayHost {
public:
    explicit ScriptHost(Stage& stage) : m_stage(stage) {}

    void gotoFrame(avm1::Object* clip, int frame, bool play) override;
    bool gotoLabel(avm1::Object* clip, const QString& label, bool play) override;
    void play(avm1::Object* clip) override;
    void stop(avm1::Object* clip) override;
    void nextFrame(avm1::Object* clip) override;
    void prevFrame(avm1::Object* clip) override;
    int currentFrame(avm1::Object* clip) override;
    int framesLoaded(avm1::Object* clip) override;
    int totalFrames(avm1::Object* clip) override;
    int frameOfLabel(avm1::Object* clip, const QString& label) override;
    avm1::Value getProperty(avm1::Object* clip, int index) override;
    void setProperty(avm1::Object* clip, int index, const avm1::Value& value) override;
    void duplicateClip(avm1::Object* clip, const QString& name, int depth) override;
    void removeClip(avm1::Object* clip) override;
    void startDrag(avm1::Object* clip, bool lockCenter, std::optional<QRectF> bounds) override;
    void stopDrag() override;
    avm1::Object* level(int n) override;
    avm1::Object* resolveTarget(avm1::Object* base, const QString& path) override;
    QString targetPath(avm1::Object* clip) override;
    void getUrl(avm1::Object* base, const QString& url, const QString& target, int method, bool loadTarget,
                bool loadVariables) override;
    void callFrame(avm1::Object* clip, int frame) override;
    void trace(const QString& line) override;
    double timerMs() override;
    double dateMs() override;
    void toggleQuality() override;
    void stopSounds() override;
    int movieVersion(avm1::Object* clip) override;

    // Shared with the MovieClip methods; `depth` in the timeline's numbering.
    DisplayObject* duplicate(DisplayObject& source, const QString& name, int depth);
    bool remove(DisplayObject& object);
    // A frame given as a script gives it: a number (1-based) or a label; -1 when there is none.
    int frameFromValue(SpriteInstance& sprite, const avm1::Value& frame);

    avm1::Object* dragged() const { return m_dragged; }

private:
    Stage& m_stage;
    avm1::Object* m_dragged = nullptr;
};

}  // namespace vistrel::player
