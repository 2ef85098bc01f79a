// Shared by the files that install the stage's global objects (Stage, System, Key, Color, XML...).
#pragma once

#include <memory>
#include <span>
#include <utility>
#include <vector>

#include <QString>

#include "player/avm1/vm.h"
#include "player/swf/filter_list.h"

namespace vistrel::player {

class Stage;
struct DisplayObject;
namespace video {
class StreamPicture;
}

namespace objects {

using avm1::Object;
using avm1::Value;
using avm1::Vm;
using Args = std::span<const Value>;

inline constexpr std::uint16_t kHidden = avm1::propflag::kDontEnum | avm1::propflag::kDontDelete;

inline const Value& arg(Args args, std::size_t i) {
    static const Value undefinedValue;
    return i < args.size() ? args[i] : undefinedValue;
}

// A method hidden from enumeration and safe from delete, as the built-in ones are.
inline Object* method(Vm& vm, Object* target, const QString& name, avm1::NativeFunction f, std::uint16_t flags = 0) {
    return vm.defineMethod(target, name, std::move(f), kHidden | flags);
}

// A class whose function initialises `this` (so `new`, and `super()` from a subclass, both work), put on
// `target` under `name`.
Object* defineClassOn(Vm& vm, Object* target, const QString& name, avm1::NativeFunction init,
                      std::uint16_t flags = 0);

// A plain object on `target` (Stage, Key, System.capabilities...).
Object* defineObjectOn(Vm& vm, Object* target, const QString& name, std::uint16_t flags = 0);

// A read-only computed property: a getter without a setter.
void defineGetter(Vm& vm, Object* target, const QString& name, avm1::NativeFunction getter, std::uint16_t flags = 0);
void defineAccessor(Vm& vm, Object* target, const QString& name, avm1::NativeFunction getter,
                    avm1::NativeFunction setter, std::uint16_t flags = 0);

// Numbers read the way the built-ins read arguments.
double number(Vm& vm, const Value& v);
// `o[name]` read as a number.
double numberMember(Vm& vm, const Value& o, const QString& name);

// Makes `o` a broadcaster (addListener, removeListener, broadcastMessage, _listeners), as
// AsBroadcaster.initialize does.
void initializeBroadcaster(Vm& vm, Object* o);
// Calls `name` on every listener of `broadcaster` with `args`; false when there were none.
bool broadcast(Vm& vm, Object* broadcaster, const QString& name, Args args);

void installBroadcaster(Stage& stage);
void installEnvironment(Stage& stage);   // Stage, System, Key, Mouse, Accessibility
void installMedia(Stage& stage);         // Color, Sound, SharedObject
void installGeometry(Stage& stage);      // flash.geom
void installFilters(Stage& stage);       // flash.filters
// A filter list as scripts read it back: a new array of copies of the filters in `list`.
Value filterCopies(Vm& vm, const Value& list);
// The filters of an array-like value, as a new array; anything that is not a filter is left out.
// `shown`, when given, receives what the renderer draws for them.
Value filtersGiven(Vm& vm, const Value& given, std::vector<swf::Filter>* shown = nullptr);
// Script objects for filters a clip shows from its timeline, each of the class that draws it.
Value filtersShown(Vm& vm, const std::vector<swf::Filter>& shown);
void installXml(Stage& stage);           // XML, XMLNode, LoadVars
void installTextFormat(Stage& stage);
void installStyleSheet(Stage& stage);  // TextField.StyleSheet
void installBitmapData(Stage& stage);    // flash.display.BitmapData, MovieClip.attachBitmap
void installExternalInterface(Stage& stage);
void installNet(Stage& stage);          // LocalConnection, NetConnection, FileReference, Camera...
void installContextMenu(Stage& stage);
void installSelection(Stage& stage);
void installTextSnapshot(Stage& stage);
void installSocketAndPrinting(Stage& stage);   // XMLSocket, PrintJob
void installVideo(Stage& stage);
void installNetStream(Stage& stage);
// The pictures of a NetStream object (what Video.attachVideo shows), null for anything else.
std::shared_ptr<video::StreamPicture> netStreamPicture(const Value& stream);
// A NetStream's sound goes to this clip's Sound settings (MovieClip.attachAudio); false or null stops it.
void attachStreamAudio(Stage& stage, Object* clip, const Value& source);
// Video.prototype as the global Video class has it (null when a script removed it).
Object* videoPrototype(Vm& vm);
// The focused object leaves the stage or is hidden: the focus is dropped and listeners told.
void focusLost(Stage& stage, DisplayObject& object);

// The package object `path` names under the global object ("flash.geom"), made when missing.
Object* package(Vm& vm, const QString& path);

}  // namespace objects
}  // namespace vistrel::player
