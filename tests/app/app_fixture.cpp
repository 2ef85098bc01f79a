#include "tests/app/app_fixture.h"

#include <QApplication>
#include <QFile>

#include "tests/support/swf_writer.h"

namespace vistrel::test {
MainFormTest::MainFormTest()
{
    QApplication::setApplicationName(QStringLiteral("Vistrel"));
    m_base = QDir(m_dir.path()).canonicalPath();
    m_oldCurrent = QDir::currentPath();
    QDir::setCurrent(m_base);
    setMessageHandler([this](MessageKind kind, const QString& text, QMessageBox::StandardButtons) {
        m_messages.push_back({kind, text});
        return m_answer;
    });
}

MainFormTest::~MainFormTest()
{
    m_form.reset();
    setMessageHandler({});
    QDir::setCurrent(m_oldCurrent);
}

TForm1& MainFormTest::start()
{
    m_form = std::make_unique<TForm1>(m_state);
    return *m_form;
}

QString MainFormTest::makeFolder(const QString& relative)
{
    QDir(m_base).mkpath(relative);
    return m_base + QLatin1Char('/') + relative;
}

QString MainFormTest::writeMovie(const QString& relative, int version, bool compressed)
{
    using namespace vistrel::testing;
    MovieSpec spec;
    spec.version = version;
    spec.widthTwips = 550 * 20;
    spec.heightTwips = 400 * 20;
    spec.frameRate = 12;
    spec.frameCount = 3;
    spec.compression = compressed ? Compression::Zlib : Compression::None;
    const Bytes bytes = movie(spec, {setBackgroundColor(0x336699),
                                     rectangleShape(1, 0, 0, 2000, 2000, 0xff0000ff),
                                     placeObject(1, 1, MatrixSpec::translate(200, 200)), showFrame(),
                                     showFrame(), showFrame()});
    const QString path = m_base + QLatin1Char('/') + relative;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
}

void MainFormTest::writeSettings(const QByteArray& text)
{
    QFile file(m_base + QStringLiteral("/vistrel.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QByteArray MainFormTest::readSettings() const
{
    QFile file(m_base + QStringLiteral("/vistrel.ini"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace vistrel::test
