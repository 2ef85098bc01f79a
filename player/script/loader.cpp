#include "player/script/loader.h"

#include <cmath>

#include <QFile>
#include <QUrl>

#include "player/avm1/builtins_internal.h"
#include "player/avm1/vm.h"
#include "player/display_list.h"
#include "player/import_assets.h"
#include "player/movie.h"
#include "player/script/clip_object.h"
#include "player/script/obj_internal.h"
#include "player/script/script_host.h"
#include "player/stage.h"

namespace vistrel::player {

using avm1::Value;
using objects::arg;
using objects::Args;

namespace {

// Requests one script may leave waiting at once; past this, further loads fail quietly.
constexpr std::size_t kMaxPendingRequests = 4096;
// Text files larger than this are not read (movies have their own limit).
constexpr qint64 kMaxTextFileSize = 64ll * 1024 * 1024;

// The file part of a URL: what comes before a query or fragment.
QString filePart(const QString& url) {
    qsizetype cut = url.size();
    for (QChar c : {QChar(u'?'), QChar(u'#')}) {
        const qsizetype at = url.indexOf(c);
        if (at >= 0) cut = std::min(cut, at);
    }
    return url.left(cut);
}

QString queryPart(const QString& url) {
    const qsizetype at = url.indexOf(u'?');
    if (at < 0) return {};
    QString q = url.mid(at + 1);
    const qsizetype hash = q.indexOf(u'#');
    return hash < 0 ? q : q.left(hash);
}

// Sets the name=value pairs of URL-encoded text on `target`.
void setEncodedVariables(avm1::Vm& vm, avm1::Object* target, const QString& text) {
    if (!target) return;
    for (const QString& pair : text.split(u'&', Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(u'=');
        const QString name = avm1::builtins::unescapeString(eq < 0 ? pair : pair.left(eq), true);
        const QString value = eq < 0 ? QString() : avm1::builtins::unescapeString(pair.mid(eq + 1), true);
        if (name.isEmpty()) continue;
        vm.setMember(Value(target), name, Value(value));
    }
}

void setHidden(avm1::Object* o, const QString& name, const Value& v) {
    if (avm1::Property* p = o->findOwn(name)) p->value = v;
    else o->define(name, v, avm1::propflag::kDontEnum);
}

}  // namespace

std::optional<QByteArray> Loader::readFile(const QString& url, QString* pathOut) const {
    const QString folder = m_stage.movieFolder();
    if (folder.isEmpty()) return std::nullopt;
    // Addresses with a scheme, absolute paths and paths out of the tree are refused by the same check that
    // guards imported symbols.
    const QString path = resolveImportPath(folder, folder, filePart(url));
    if (path.isEmpty()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > std::max<qint64>(kMaxMovieFileSize, kMaxTextFileSize))
        return std::nullopt;
    if (pathOut) *pathOut = path;
    return file.readAll();
}

QString Loader::decodeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const bool little = static_cast<unsigned char>(bytes[0]) == 0xFF;
        QString out;
        out.reserve(bytes.size() / 2);
        for (qsizetype i = 2; i + 1 < bytes.size(); i += 2) {
            const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
            out.append(QChar(static_cast<char16_t>(little ? (b << 8 | a) : (a << 8 | b))));
        }
        return out;
    }
    return QString::fromUtf8(bytes);
}

void Loader::loadMovie(avm1::Object* clip, int level, const QString& url, avm1::Object* listener) {
    if (m_requests.size() >= kMaxPendingRequests) return;
    m_requests.push_back(Request{Kind::Movie, clip, clip ? -1 : level, url, listener});
}

void Loader::loadVariables(avm1::Object* clip, int level, const QString& url) {
    if (m_requests.size() >= kMaxPendingRequests) return;
    m_requests.push_back(Request{Kind::Variables, clip, clip ? -1 : level, url, nullptr});
}

void Loader::loadData(avm1::Object* object, const QString& url) {
    if (!object || m_requests.size() >= kMaxPendingRequests) return;
    m_requests.push_back(Request{Kind::Data, object, -1, url, nullptr});
}

void Loader::unload(DisplayObject& target) {
    if (!target.parent && target.level > 0) {
        m_stage.removeLevel(target.level);   // its unload handlers run as any removed clip's do
        return;
    }
    avm1::Vm* vm = m_stage.vm();
    // The clip's own unload handler is taken now: unloading clears what scripts stored on it.
    if (vm && target.script) {
        const Value handler = vm->getMember(Value(target.script), QStringLiteral("onUnload"));
        for (const swf::ClipAction& action : target.clipActions)
            if (action.events & swf::clipevent::kUnload)
                m_stage.m_queue.push_back(Stage::QueuedScript{target.script, action.actions, QString(), Value(), true});
        if (handler.isObject() && handler.asObject()->isCallable())
            m_stage.m_queue.push_back(Stage::QueuedScript{target.script, nullptr, QString(), handler, true});
    }
    m_stage.loadMovieInto(target, nullptr);
}

DisplayObject* Loader::targetOf(const Request& r, bool make) {
    if (r.target) return r.target->display();
    if (r.level < 0) return nullptr;
    return make ? m_stage.makeLevel(r.level) : m_stage.levelObject(r.level);
}

void Loader::process() {
    if (!m_stage.vm()) {
        m_requests.clear();
        return;
    }
    // Requests made while these are delivered wait for the next frame.
    std::deque<Request> now;
    now.swap(m_requests);
    for (const Request& r : now) {
        switch (r.kind) {
        case Kind::Movie: finishMovie(r); break;
        case Kind::Variables: finishVariables(r); break;
        case Kind::Data: finishData(r); break;
        }
        m_stage.runQueue();
    }
}

void Loader::finishMovie(const Request& r) {
    avm1::Vm& vm = *m_stage.vm();
    QString path;
    const std::optional<QByteArray> bytes = readFile(r.url, &path);
    std::shared_ptr<Movie> movie;
    if (bytes) movie = Movie::fromFile(path);
    const bool ok = movie && movie->isValid();
    if (!ok && r.target == nullptr && r.level >= 0 && !m_stage.levelObject(r.level)) {
        return;   // nothing to load into and nothing to tell
    }
    DisplayObject* target = ok ? targetOf(r, true) : targetOf(r, false);
    if (!target) return;   // the clip went away while its movie was on the way
    avm1::Object* clip = m_stage.scriptObject(*target);
    if (!ok) {
        // A clip (not a level) that was asked to load loses what it showed and keeps the address it failed on.
        if (r.target && target->parent) {
            m_stage.loadMovieInto(*target, nullptr);
            const QString folder = m_stage.movieFolder();
            const QString address = filePart(r.url);
            target->failedLoadUrl = folder.isEmpty() || address.contains(u':')
                                        ? address
                                        : QUrl::fromLocalFile(folder + u'/' + address).toString(QUrl::FullyEncoded);
            clip = m_stage.scriptObject(*target);
        }
        if (r.listener) {
            const Value args[] = {Value(clip), Value(QStringLiteral("URLNotFound")), Value(0)};
            objects::broadcast(vm, r.listener, QStringLiteral("onLoadError"), args);
        }
        return;
    }
    const double size = static_cast<double>(movie->byteSize());
    m_stage.loadMovieInto(*target, movie);
    clip = m_stage.scriptObject(*target);
    // Variables in the address's query string are set on the loaded root before its first frame runs.
    setEncodedVariables(vm, clip, queryPart(r.url));
    if (r.listener) {
        const Value start[] = {Value(clip)};
        objects::broadcast(vm, r.listener, QStringLiteral("onLoadStart"), start);
        const Value progress[] = {Value(clip), Value(size), Value(size)};
        objects::broadcast(vm, r.listener, QStringLiteral("onLoadProgress"), progress);
        const Value complete[] = {Value(clip), Value(0)};
        objects::broadcast(vm, r.listener, QStringLiteral("onLoadComplete"), complete);
    }
    // The movie's first frame runs, then the loader hears that the clip is ready.
    m_stage.runQueue();
    if (r.listener && target == targetOf(r, false)) {
        const Value init[] = {Value(clip)};
        objects::broadcast(vm, r.listener, QStringLiteral("onLoadInit"), init);
    }
}

void Loader::finishVariables(const Request& r) {
    avm1::Vm& vm = *m_stage.vm();
    const std::optional<QByteArray> bytes = readFile(r.url);
    if (!bytes) return;
    DisplayObject* target = targetOf(r, true);
    if (!target) return;
    avm1::Object* clip = m_stage.scriptObject(*target);
    setEncodedVariables(vm, clip, decodeText(*bytes));
    m_stage.queueClipEvent(*target, swf::clipevent::kData);
}

void Loader::finishData(const Request& r) {
    avm1::Vm& vm = *m_stage.vm();
    const std::optional<QByteArray> bytes = readFile(r.url);
    if (bytes) {
        setHidden(r.target, QStringLiteral("__bytesLoaded"), Value(static_cast<double>(bytes->size())));
        setHidden(r.target, QStringLiteral("__bytesTotal"), Value(static_cast<double>(bytes->size())));
    }
    const Value args[] = {bytes ? Value(decodeText(*bytes)) : Value()};
    vm.callMethod(Value(r.target), QStringLiteral("onData"), args);
}

void Loader::markRoots(avm1::Heap& heap) const {
    for (const Request& r : m_requests) {
        heap.mark(r.target);
        heap.mark(r.listener);
    }
}

// ---- what scripts call ----

namespace {

// A target as loadClip and getProgress take it: a clip, a path, or a level number.
DisplayObject* clipTarget(Stage& stage, avm1::Vm& vm, const Value& v, int* level) {
    *level = -1;
    if (v.isNumber()) {
        const double n = v.asNumber();
        if (!std::isfinite(n) || n < 0 || n > 1e6) return nullptr;
        *level = static_cast<int>(n);
        return stage.levelObject(*level);
    }
    if (v.isString()) {
        const QString path = v.asString();
        if (path.startsWith(QStringLiteral("_level"), Qt::CaseInsensitive)) {
            bool digits = false;
            const int n = path.mid(6).toInt(&digits);
            if (digits && n >= 0) {
                *level = n;
                return stage.levelObject(n);
            }
        }
        avm1::Object* root = stage.scriptObject(stage.rootObject());
        avm1::Object* o = vm.host() ? vm.host()->resolveTarget(root, path) : nullptr;
        return o ? o->display() : nullptr;
    }
    return displayOf(v);
}

Value dataLoadResult(Stage& stage, avm1::Vm& vm, const Value& self, const Value& url, const Value& into) {
    avm1::Object* target = into.object();
    if (!target || url.isUndefined()) return Value(false);
    const QString address = vm.toString(url);
    if (address.isEmpty()) return Value(false);
    setHidden(target, QStringLiteral("loaded"), Value(false));
    setHidden(target, QStringLiteral("__bytesLoaded"), Value(0));
    setHidden(target, QStringLiteral("__bytesTotal"), Value());
    stage.loader().loadData(target, address);
    (void)self;
    return Value(true);
}

void installDataLoading(Stage& stage, avm1::Object* proto, bool xml) {
    avm1::Vm& vm = *stage.vm();
    Stage* s = &stage;
    objects::method(vm, proto, QStringLiteral("load"), [s](avm1::Vm& vm, const Value& self, Args args) {
        return dataLoadResult(*s, vm, self, arg(args, 0), self);
    });
    objects::method(vm, proto, QStringLiteral("sendAndLoad"), [s](avm1::Vm& vm, const Value& self, Args args) {
        return dataLoadResult(*s, vm, self, arg(args, 0), arg(args, 1));
    });
    objects::method(vm, proto, QStringLiteral("getBytesLoaded"), [](avm1::Vm& vm, const Value& self, Args) {
        return vm.getMember(self, QStringLiteral("__bytesLoaded"));
    });
    objects::method(vm, proto, QStringLiteral("getBytesTotal"), [](avm1::Vm& vm, const Value& self, Args) {
        return vm.getMember(self, QStringLiteral("__bytesTotal"));
    });
    // The default data handler: no text means the load failed; otherwise the text is read in and onLoad
    // hears of success.
    objects::method(vm, proto, QStringLiteral("onData"), [xml](avm1::Vm& vm, const Value& self, Args args) {
        avm1::Object* o = self.object();
        if (!o) return Value();
        const Value& text = arg(args, 0);
        if (text.isUndefined()) {
            const Value result[] = {Value(false)};
            vm.callMethod(self, QStringLiteral("onLoad"), result);
            return Value();
        }
        const Value source[] = {text};
        vm.callMethod(self, xml ? QStringLiteral("parseXML") : QStringLiteral("decode"), source);
        vm.setMember(self, QStringLiteral("loaded"), Value(true));
        const Value result[] = {Value(true)};
        vm.callMethod(self, QStringLiteral("onLoad"), result);
        return Value();
    });
}

void installMovieClipLoader(Stage& stage) {
    avm1::Vm& vm = *stage.vm();
    Stage* s = &stage;
    avm1::Object* ctor = objects::defineClassOn(vm, vm.global(), QStringLiteral("MovieClipLoader"),
                                                [](avm1::Vm& vm, const Value& self, Args) {
        avm1::Object* o = self.object();
        if (!o) return Value();
        objects::initializeBroadcaster(vm, o);
        // A loader listens to itself: handlers set on it directly hear its events too.
        if (auto* list = dynamic_cast<avm1::ArrayObject*>(vm.getMember(self, QStringLiteral("_listeners")).object()))
            list->push(self);
        return Value();
    });
    avm1::Object* proto = vm.getMember(Value(ctor), QStringLiteral("prototype")).object();
    objects::method(vm, proto, QStringLiteral("loadClip"), [s](avm1::Vm& vm, const Value& self, Args args) {
        avm1::Object* loader = self.object();
        if (!loader || args.size() < 2) return Value(false);
        const QString url = vm.toString(args[0]);
        int level = -1;
        DisplayObject* target = clipTarget(*s, vm, args[1], &level);
        if (!target && level < 0) return Value(false);
        avm1::Object* clip = target && !(level >= 0 && !target->parent) ? s->scriptObject(*target) : nullptr;
        s->loader().loadMovie(clip, clip ? -1 : level, url, loader);
        return Value(true);
    });
    objects::method(vm, proto, QStringLiteral("unloadClip"), [s](avm1::Vm& vm, const Value&, Args args) {
        int level = -1;
        DisplayObject* target = clipTarget(*s, vm, arg(args, 0), &level);
        if (!target) return Value(false);
        s->loader().unload(*target);
        return Value(true);
    });
    objects::method(vm, proto, QStringLiteral("getProgress"), [s](avm1::Vm& vm, const Value&, Args args) {
        const Value& v = arg(args, 0);
        if (!v.isNumber() && !v.isString() && !displayOf(v)) return Value();
        int level = -1;
        DisplayObject* target = clipTarget(*s, vm, v, &level);
        avm1::Object* out = vm.makeObject();
        Value bytes;
        // Bytes as they came from the file (a compressed movie counts its compressed size).
        if (target) bytes = Value(static_cast<double>(movieOf(*s, *target).byteSize()));
        out->setOwn(QStringLiteral("bytesLoaded"), bytes);
        out->setOwn(QStringLiteral("bytesTotal"), bytes);
        return Value(out);
    });
}

void installClipLoading(Stage& stage) {
    avm1::Vm& vm = *stage.vm();
    Stage* s = &stage;
    avm1::Object* proto = vm.protos().movieClip;
    if (!proto) return;
    vm.defineMethod(proto, QStringLiteral("loadMovie"), [s](avm1::Vm& vm, const Value& self, Args args) {
        if (!displayOf(self) || args.empty()) return Value();
        s->loader().loadMovie(self.object(), -1, vm.toString(args[0]));
        return Value();
    });
    vm.defineMethod(proto, QStringLiteral("loadVariables"), [s](avm1::Vm& vm, const Value& self, Args args) {
        if (!displayOf(self) || args.empty()) return Value();
        s->loader().loadVariables(self.object(), -1, vm.toString(args[0]));
        return Value();
    });
    vm.defineMethod(proto, QStringLiteral("unloadMovie"), [s](avm1::Vm&, const Value& self, Args) {
        if (DisplayObject* o = displayOf(self)) s->loader().unload(*o);
        return Value();
    });
}

}  // namespace

void installLoaders(Stage& stage) {
    if (!stage.vm()) return;
    avm1::Vm& vm = *stage.vm();
    installMovieClipLoader(stage);
    installClipLoading(stage);
    for (const char* name : {"XML", "LoadVars"}) {
        const Value ctor = vm.getMember(Value(vm.global()), QString::fromLatin1(name));
        if (avm1::Object* proto = vm.getMember(ctor, QStringLiteral("prototype")).object())
            installDataLoading(stage, proto, name[0] == 'X');
    }
}

}  // namespace vistrel::player
