// The system's codec libraries are opened when a movie first needs one of their functions, not when
// the program starts: they bring some seventy libraries of their own, whose loading would hold up
// every start-up, and most movies have no sound or video for them to decode. Each function here stands
// in for the library's own and forwards to it; when a library cannot be opened, the functions answer
// as a decoder that is not there would (no decoder, no context, an error), so the movie plays without
// that sound or video.

#include "player/codec_libraries.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace {

enum Library { kAvutil, kAvcodec, kSwresample, kSwscale, kLibraryCount };

void* openLibrary(Library library) {
    static const char* const kNames[kLibraryCount] = {VISTREL_AVUTIL_SONAME, VISTREL_AVCODEC_SONAME,
                                                      VISTREL_SWRESAMPLE_SONAME, VISTREL_SWSCALE_SONAME};
    static void* handles[kLibraryCount] = {};
    static std::once_flag opened[kLibraryCount];
    std::call_once(opened[library], [library] {
        handles[library] = dlopen(kNames[library], RTLD_NOW | RTLD_LOCAL);
        if (!handles[library])
            std::fprintf(stderr, "vistrel: %s cannot be opened; movies play without what it decodes\n",
                         kNames[library]);
    });
    return handles[library];
}

void* codecSymbol(Library library, const char* name) {
    void* handle = openLibrary(library);
    return handle ? dlsym(handle, name) : nullptr;
}

}  // namespace

void vistrel::player::preloadCodecLibraries() {
    for (int library = 0; library < kLibraryCount; ++library) openLibrary(static_cast<Library>(library));
}

// Each stand-in resolves its function once (function-local statics are thread-safe).
#define VISTREL_FORWARD(LIBRARY, RESULT, NAME, ON_FAILURE, PARAMETERS, ARGUMENTS)                      \
    extern "C" RESULT NAME PARAMETERS {                                                                \
        using Function = RESULT(*) PARAMETERS;                                                         \
        static const Function function = reinterpret_cast<Function>(codecSymbol(LIBRARY, #NAME));      \
        if (!function) ON_FAILURE;                                                                     \
        return function ARGUMENTS;                                                                     \
    }

#define VISTREL_NO_RESULT return
#define VISTREL_NULL return nullptr
#define VISTREL_ERROR return AVERROR(ENOSYS)

VISTREL_FORWARD(kAvutil, int, av_channel_layout_copy, VISTREL_ERROR, (AVChannelLayout* to, const AVChannelLayout* from),
                (to, from))
VISTREL_FORWARD(kAvutil, void, av_channel_layout_default, VISTREL_NO_RESULT, (AVChannelLayout* layout, int channels),
                (layout, channels))
VISTREL_FORWARD(kAvutil, void, av_channel_layout_uninit, VISTREL_NO_RESULT, (AVChannelLayout* layout), (layout))
VISTREL_FORWARD(kAvutil, AVFrame*, av_frame_alloc, VISTREL_NULL, (void), ())
VISTREL_FORWARD(kAvutil, void, av_frame_free, VISTREL_NO_RESULT, (AVFrame** frame), (frame))
VISTREL_FORWARD(kAvutil, void, av_frame_unref, VISTREL_NO_RESULT, (AVFrame* frame), (frame))
VISTREL_FORWARD(kAvutil, void, av_log_set_level, VISTREL_NO_RESULT, (int level), (level))
VISTREL_FORWARD(kAvutil, void*, av_mallocz, VISTREL_NULL, (size_t size), (size))
VISTREL_FORWARD(kAvutil, const AVPixFmtDescriptor*, av_pix_fmt_desc_get, VISTREL_NULL, (enum AVPixelFormat format),
                (format))

VISTREL_FORWARD(kAvcodec, int, av_new_packet, VISTREL_ERROR, (AVPacket* packet, int size), (packet, size))
VISTREL_FORWARD(kAvcodec, AVPacket*, av_packet_alloc, VISTREL_NULL, (void), ())
VISTREL_FORWARD(kAvcodec, void, av_packet_free, VISTREL_NO_RESULT, (AVPacket** packet), (packet))
VISTREL_FORWARD(kAvcodec, void, av_packet_unref, VISTREL_NO_RESULT, (AVPacket* packet), (packet))
VISTREL_FORWARD(kAvcodec, void, av_parser_close, VISTREL_NO_RESULT, (AVCodecParserContext* parser), (parser))
VISTREL_FORWARD(kAvcodec, AVCodecParserContext*, av_parser_init, VISTREL_NULL, (int codec), (codec))
VISTREL_FORWARD(kAvcodec, int, av_parser_parse2, VISTREL_ERROR,
                (AVCodecParserContext* parser, AVCodecContext* context, uint8_t** out, int* outSize, const uint8_t* in,
                 int inSize, int64_t pts, int64_t dts, int64_t position),
                (parser, context, out, outSize, in, inSize, pts, dts, position))
VISTREL_FORWARD(kAvcodec, AVCodecContext*, avcodec_alloc_context3, VISTREL_NULL, (const AVCodec* codec), (codec))
VISTREL_FORWARD(kAvcodec, const AVCodec*, avcodec_find_decoder, VISTREL_NULL, (enum AVCodecID id), (id))
VISTREL_FORWARD(kAvcodec, void, avcodec_flush_buffers, VISTREL_NO_RESULT, (AVCodecContext* context), (context))
VISTREL_FORWARD(kAvcodec, void, avcodec_free_context, VISTREL_NO_RESULT, (AVCodecContext** context), (context))
VISTREL_FORWARD(kAvcodec, int, avcodec_open2, VISTREL_ERROR,
                (AVCodecContext* context, const AVCodec* codec, AVDictionary** options), (context, codec, options))
VISTREL_FORWARD(kAvcodec, int, avcodec_receive_frame, VISTREL_ERROR, (AVCodecContext* context, AVFrame* frame),
                (context, frame))
VISTREL_FORWARD(kAvcodec, int, avcodec_send_packet, VISTREL_ERROR, (AVCodecContext* context, const AVPacket* packet),
                (context, packet))

VISTREL_FORWARD(kSwresample, int, swr_alloc_set_opts2, VISTREL_ERROR,
                (struct SwrContext** context, AVChannelLayout* outLayout, enum AVSampleFormat outFormat, int outRate,
                 AVChannelLayout* inLayout, enum AVSampleFormat inFormat, int inRate, int logOffset, void* logContext),
                (context, outLayout, outFormat, outRate, inLayout, inFormat, inRate, logOffset, logContext))
VISTREL_FORWARD(kSwresample, int, swr_convert, VISTREL_ERROR,
                (struct SwrContext* context, uint8_t** out, int outCount, const uint8_t** in, int inCount),
                (context, out, outCount, in, inCount))
VISTREL_FORWARD(kSwresample, void, swr_free, VISTREL_NO_RESULT, (struct SwrContext** context), (context))
VISTREL_FORWARD(kSwresample, int, swr_get_out_samples, VISTREL_ERROR, (struct SwrContext* context, int inSamples),
                (context, inSamples))
VISTREL_FORWARD(kSwresample, int, swr_init, VISTREL_ERROR, (struct SwrContext* context), (context))

VISTREL_FORWARD(kSwscale, void, sws_freeContext, VISTREL_NO_RESULT, (struct SwsContext* context), (context))
VISTREL_FORWARD(kSwscale, struct SwsContext*, sws_getCachedContext, VISTREL_NULL,
                (struct SwsContext* context, int srcW, int srcH, enum AVPixelFormat srcFormat, int dstW, int dstH,
                 enum AVPixelFormat dstFormat, int flags, SwsFilter* srcFilter, SwsFilter* dstFilter,
                 const double* parameters),
                (context, srcW, srcH, srcFormat, dstW, dstH, dstFormat, flags, srcFilter, dstFilter, parameters))
VISTREL_FORWARD(kSwscale, int, sws_scale, VISTREL_ERROR,
                (struct SwsContext* context, const uint8_t* const source[], const int sourceStride[], int sliceY,
                 int sliceH, uint8_t* const destination[], const int destinationStride[]),
                (context, source, sourceStride, sliceY, sliceH, destination, destinationStride))
