// Files scripts ask for: movies loaded into clips and levels (loadMovie, loadMovieNum, MovieClipLoader),
// variables (loadVariables), and the text of XML and LoadVars objects. Files are read only from the folder
// tree of the movie opened first; anything else (other folders, addresses with a scheme) fails as a missing
// file does, without touching the disk or the network. Results arrive after the calling script, at the end
// of the frame.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>

#include <QByteArray>
#include <QString>

namespace vistrel::avm1 {
class Object;
class Heap;
}  // namespace vistrel::avm1

namespace vistrel::player {

class Stage;
struct DisplayObject;

class Loader {
public:
    explicit Loader(Stage& stage) : m_stage(stage) {}

    // A movie into a clip (its script object) or into level `level` when `clip` is null. `listener` is
    // the MovieClipLoader told of the load's progress, or null.
    void loadMovie(avm1::Object* clip, int level, const QString& url, avm1::Object* listener = nullptr);
    // Name=value pairs read into a clip, or into level `level` when `clip` is null.
    void loadVariables(avm1::Object* clip, int level, const QString& url);
    // The text of a file handed to `object`'s onData (XML and LoadVars).
    void loadData(avm1::Object* object, const QString& url);
    // What a clip or level shows goes; its unload handlers run.
    void unload(DisplayObject& target);

    // Delivers the results of every request made before this call.
    void process();
    void markRoots(avm1::Heap& heap) const;

    // The bytes of the file `url` names in the movie's folder tree, or nothing when it may not be read
    // or is missing. A query string is no part of the file name.
    std::optional<QByteArray> readFile(const QString& url, QString* path = nullptr) const;
    // Text of a loaded file: decoded as UTF-8, after a byte-order mark if any.
    static QString decodeText(const QByteArray& bytes);

private:
    enum class Kind { Movie, Variables, Data };
    struct Request {
        Kind kind = Kind::Movie;
        avm1::Object* target = nullptr;   // clip script object, or the XML / LoadVars object
        int level = -1;                   // the level when target is null
        QString url;
        avm1::Object* listener = nullptr;
    };
    void finishMovie(const Request& r);
    void finishVariables(const Request& r);
    void finishData(const Request& r);
    DisplayObject* targetOf(const Request& r, bool make);

    Stage& m_stage;
    std::deque<Request> m_requests;
};

// MovieClipLoader, the loading methods of MovieClip, XML and LoadVars.
void installLoaders(Stage& stage);

}  // namespace vistrel::player
