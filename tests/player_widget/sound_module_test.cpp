// The sound output module loaded after the pane's first frame: nothing of it before that frame, the
// movie's sound reaching the device once it is in, and a module that is missing or damaged leaving the
// movie to play silently.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "tests/sound/sound_fixtures.h"
#include "widgets/player/audio_output.h"
#include "widgets/player/flash_player.h"
#include "widgets/player/sound_device.h"

namespace sw = vistrel::testing;
using vistrel::AudioOutput;
using vistrel::ShockwaveFlash;

namespace {

struct Heard {
    int opened = 0;
    long long bytes = 0;
    int peak = 0;
};

// A movie whose first frame starts a loud tone that loops for a long while.
sw::Bytes toneMovie() {
    sw::MovieSpec spec;
    spec.widthTwips = 2000;
    spec.heightTwips = 2000;
    spec.frameRate = 30;
    spec.frameCount = 1;
    const auto samples = sw::tone(440, 0.5, 44100, 1, 20000);
    return sw::movie(spec, {sw::defineSound(1, 3, 3, true, false, static_cast<std::uint32_t>(samples.size()),
                                            sw::littleEndian(samples)),
                            sw::startSound(1, {.loops = 200}), sw::showFrame()});
}

class SoundModuleTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    void TearDown() override { AudioOutput::setModuleFile({}); }

    QString write(const QByteArray& bytes, const QString& name) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QString writeMovie() {
        const sw::Bytes bytes = toneMovie();
        return write(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())),
                     QStringLiteral("tone.swf"));
    }

    static bool recorderLoaded() {
        void* handle = dlopen(VISTREL_RECORDING_SOUND_MODULE, RTLD_NOW | RTLD_NOLOAD);
        if (handle) dlclose(handle);
        return handle != nullptr;
    }
    static Heard heard() {
        Heard result;
        void* handle = dlopen(VISTREL_RECORDING_SOUND_MODULE, RTLD_NOW | RTLD_NOLOAD);
        if (!handle) return result;
        using Report = void (*)(int*, long long*, int*);
        if (auto report = reinterpret_cast<Report>(dlsym(handle, "vistrel_test_sound_heard")))
            report(&result.opened, &result.bytes, &result.peak);
        dlclose(handle);
        return result;
    }

    QTemporaryDir m_dir;
};

}  // namespace

TEST_F(SoundModuleTest, TheModuleLoadsAfterTheFirstFrameAndPlaysTheMoviesSound) {
    AudioOutput::setModuleFile(QStringLiteral(VISTREL_RECORDING_SOUND_MODULE));
    ShockwaveFlash flash;
    flash.resize(100, 100);
    flash.putMovie(writeMovie());
    flash.Play();
    // Built, loaded and playing, but not painted: the sound device is not reached for yet.
    QCoreApplication::processEvents();
    EXPECT_FALSE(recorderLoaded());

    QSignalSpy rendered(&flash, &ShockwaveFlash::frameRendered);
    flash.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&flash));
    ASSERT_TRUE(rendered.count() > 0 || rendered.wait());
    QTRY_VERIFY(recorderLoaded());
    QTRY_COMPARE(heard().opened, 1);
    // The tone started on the first frame comes out of the device loud.
    QTRY_VERIFY(heard().peak > 10000);
    const long long before = heard().bytes;
    QTRY_VERIFY(heard().bytes > before);
    // A second movie goes to the same device; the module is not opened again.
    flash.putMovie(writeMovie());
    flash.Play();
    QTRY_VERIFY(heard().bytes > before + 4 * 44100 / 10);
    EXPECT_EQ(heard().opened, 1);
}

TEST_F(SoundModuleTest, AMissingOrDamagedModuleLeavesTheMovieSilentButPlaying) {
    const QString notAModule = write(QByteArray("\x7f" "ELF not really a library", 26), QStringLiteral("bad.so"));
    for (const QString& module : {m_dir.filePath(QStringLiteral("absent.so")), notAModule, m_dir.path()}) {
        SCOPED_TRACE(module.toStdString());
        AudioOutput::setModuleFile(module);
        ShockwaveFlash flash;
        flash.resize(100, 100);
        flash.putMovie(writeMovie());
        flash.Play();
        QSignalSpy rendered(&flash, &ShockwaveFlash::frameRendered);
        flash.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&flash));
        ASSERT_TRUE(rendered.count() > 0 || rendered.wait());
        // The output gave up on the module; the movie goes on.
        QTest::qWait(50);
        EXPECT_TRUE(flash.isPlaying());
        EXPECT_EQ(flash.frameCount(), 1);
    }
}

TEST_F(SoundModuleTest, TheBuiltModuleOffersItsEntryPoint) {
    void* handle = dlopen(VISTREL_SOUND_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    EXPECT_NE(dlsym(handle, vistrel::kOpenSoundDeviceSymbol), nullptr);
    // Opening a device on the test machine either gives one or says why not; both leave the program running.
    using Open = vistrel::OpenSoundDevice;
    if (auto open = reinterpret_cast<Open>(dlsym(handle, vistrel::kOpenSoundDeviceSymbol))) {
        const char* problem = nullptr;
        std::unique_ptr<vistrel::SoundDevice> device(open(44100, 44100 * 4 / 25, &problem));
        EXPECT_TRUE(device != nullptr || (problem != nullptr && *problem != '\0'));
        if (device) {
            EXPECT_GE(device->bytesFree(), 0);
            device->reset();
        }
    }
}
