#pragma once
// What the engine's subcommands (render, trace, bench) share: the usage line on a wrong option,
// integer, quality and size options, and opening FILE as a movie with a one-line reason when it is not one.

#include <memory>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include <QSize>
#include <QStringList>

#include "player/render/renderer.h"

namespace vistrel::player {
class Movie;
}

namespace vistrel::tools {

// The options the engine's commands share; each command takes those it names.
struct Options {
    std::optional<int> frames;                      // --frames N, from 1
    std::optional<player::RenderQuality> quality;   // --quality low|medium|high|best
    std::optional<QSize> size;                      // --size WxH
    std::optional<int> time;                        // --time N, from 1 to 10000
    QString input;                                  // --input EVENTS.json
    QStringList positional;                         // everything else, in order
};

class CommandLine {
public:
    CommandLine(std::string name, std::string usage) : m_name(std::move(name)), m_usage(std::move(usage)) {}

    // Prints `text` and the usage; returns the exit code for wrong usage.
    int usageError(const std::string& text) const;
    // The integer after the option at args[i] (i moves past it), from `min` to `max`; nullopt after
    // the usage is printed.
    std::optional<int> intValue(const QStringList& args, qsizetype& i, int min, int max) const;
    // The quality after the option at args[i] (low, medium, high or best); nullopt after the usage.
    std::optional<player::RenderQuality> qualityValue(const QStringList& args, qsizetype& i) const;
    // The WIDTHxHEIGHT after the option at args[i], each from 1 to 16384; nullopt after the usage.
    std::optional<QSize> sizeValue(const QStringList& args, qsizetype& i) const;
    // Reads `args` with the options this command takes (e.g. {"--frames", "--size"}); an option it does not
    // take counts as a positional argument. Nullopt after the usage is printed.
    std::optional<Options> parse(const QStringList& args, std::initializer_list<std::string_view> accepted) const;
    // The movie in `file`; null after one line on standard error, with `exitCode` set.
    std::shared_ptr<player::Movie> openMovie(const QString& file, int& exitCode) const;

private:
    std::string m_name;
    std::string m_usage;
};

}  // namespace vistrel::tools
