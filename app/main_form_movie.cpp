// Movie loading, the status panes, and the playback, quality and zoom commands.

#include <algorithm>
#include <utility>

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "app/main_form.h"
#include "core/messages.h"
#include "favorites/favorites_dialog.h"
#include "widgets/player/flash_player.h"
#include "swf_info/status_texts.h"
#include "swf_info/swf_file_info.h"
#include "settings/config_dialog.h"
#include "widgets/glyph_status_pane.h"

namespace vistrel {

void TForm1::ShellList1SelectItem(const QString& path, bool selected)
{
    if (!selected)
        return;
    // The list shows "*.swf" whatever the case of the extension, so every listed movie loads.
    const QString fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || fileName.mid(dot).compare(QLatin1String(".swf"), Qt::CaseInsensitive) != 0)
        return;
    if (QFileInfo(path).isDir())
        return;
    m_state.CurrentMovie = path;
    LoadMovie();
    SwfHeaderInfo header{};
    if (!ReadSwfHeader(m_state.CurrentMovie.toStdString(), header))
        return;
    const PaneTexts texts = formatPaneTexts(header, mainMessage(m_state, MainMessage::NotCompressed).toStdString(),
                                            mainMessage(m_state, MainMessage::Compressed).toStdString());
    const std::string* values[] = {&texts.ver, &texts.compress, &texts.size,
                                   &texts.fps, &texts.count,    &texts.filesize};
    for (int i = 0; i < 6; ++i)
        m_panes.at(i)->setCaption(QString::fromStdString(*values[i]));
}

void TForm1::ShellList1FileActivated(const QString& path)
{
    ShellList1SelectItem(path, true);
}

void TForm1::UpdateFramePane()
{
    if (!StatusFrame)
        return;
    const MovieNote note = Flash1->movieNote();
    const bool nothingToShow = note != MovieNote::None && note != MovieNote::Damaged;
    if (startMovieShown() || nothingToShow) {
        StatusFrame->setCaption(QString());
        return;
    }
    const int count = std::max(0, Flash1->frameCount());
    const int frame = std::clamp(Flash1->currentFrame(), count > 0 ? 1 : 0, count);
    StatusFrame->setCaption(QStringLiteral(" %1 / %2").arg(frame).arg(count));
}

void TForm1::LoadMovie()
{
    Flash1->putQuality(1);
    UncheckQuality();
    checkAction(QStringLiteral("High"), true);
    Flash1->putBGColor(QStringLiteral("-1"));
    Flash1->putMovie(m_state.CurrentMovie, std::exchange(m_preparedStartMovie, nullptr));
}

bool TForm1::startMovieShown() const
{
    return m_state.CurrentMovie == m_state.StartMovie;
}

void TForm1::UncheckQuality()
{
    for (const char* name : {"Best", "High", "Medium", "Low"})
        checkAction(QString::fromLatin1(name), false);
}

void TForm1::UpdateZoomChecks()
{
    m_actions.value(QStringLiteral("ZoomOut"))->setEnabled(m_state.ZoomLevel >= 200);
    checkAction(QStringLiteral("HundredPer"), false);
    checkAction(QStringLiteral("ShowAll"), m_state.ZoomLevel == 100);
}

void TForm1::PlayExecute() { Flash1->Play(); }
void TForm1::StopExecute() { Flash1->Stop(); }
void TForm1::ForwardStepExecute() { Flash1->Forward(); }
void TForm1::BackStepExecute() { Flash1->Back(); }
void TForm1::RewindExecute() { Flash1->Rewind(); }

void TForm1::setQualityCommand(const QString& quality, const QString& actionName)
{
    if (startMovieShown())
        return;
    Flash1->putQuality2(quality);
    UncheckQuality();
    checkAction(actionName, true);
}

void TForm1::BestExecute() { setQualityCommand(QStringLiteral("BEST"), QStringLiteral("Best")); }
void TForm1::HighExecute() { setQualityCommand(QStringLiteral("HIGH"), QStringLiteral("High")); }
void TForm1::MediumExecute() { setQualityCommand(QStringLiteral("MEDIUM"), QStringLiteral("Medium")); }
void TForm1::LowExecute() { setQualityCommand(QStringLiteral("LOW"), QStringLiteral("Low")); }

void TForm1::ZoomInExecute()
{
    if (startMovieShown())
        return;
    Flash1->Zoom(50);
    m_state.ZoomLevel += 100;
    UpdateZoomChecks();
}

void TForm1::ZoomOutExecute()
{
    if (startMovieShown())
        return;
    Flash1->Zoom(200);
    m_state.ZoomLevel -= 100;
    UpdateZoomChecks();
}

void TForm1::ShowAllExecute()
{
    Flash1->Zoom(0);
    m_state.ZoomLevel = 100;
    UpdateZoomChecks();
}

void TForm1::HundredPerExecute()
{
    if (startMovieShown())
        return;
    Flash1->putScale(QStringLiteral("NoScale"));
    m_state.ZoomLevel = 0;
    UpdateZoomChecks();
    checkAction(QStringLiteral("HundredPer"), true);
}

// --- Commands of the window -------------------------------------------------------------------

void TForm1::AboutExecute()
{
    m_state.CurrentMovie = m_state.StartMovie;
    ShowAllExecute();
    LoadMovie();
    for (GlyphStatusPane* pane : std::as_const(m_panes))
        pane->setCaption(QString());
}

void TForm1::HomePageExecute()
{
    // What the desktop does with the address is its affair; nothing is reported here.
    QDesktopServices::openUrl(QUrl(QStringLiteral(VISTREL_HOME_PAGE)));
}

namespace {

// Whether the desktop has a program for compiled help files; few Linux desktops do.
bool desktopOpensCompiledHelp()
{
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("application/vnd.ms-htmlhelp")});
    if (!query.waitForFinished(1500)) {
        query.kill();
        query.waitForFinished(500);
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           !query.readAllStandardOutput().trimmed().isEmpty();
}

} // namespace

void TForm1::HelpExecute()
{
    // The compiled help opens where the desktop has a viewer for it; elsewhere the same pages, kept
    // beside it as HTML, open in the browser rather than ending in nothing.
    const QString pages = m_state.BaseDir + QStringLiteral("/help/index.html");
    if (QFileInfo(pages).isFile() && !desktopOpensCompiledHelp()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(pages));
        return;
    }
    QProcess::startDetached(QStringLiteral("xdg-open"), {QStringLiteral("vistrel10.chm")}, m_state.BaseDir);
}

void TForm1::ManagerExecute()
{
    ensureDialogs();
    if (m_form2)
        m_form2->exec();
}

void TForm1::ConfigExecute()
{
    ensureDialogs();
    if (m_form3)
        m_form3->exec();
}

void TForm1::QuitExecute()
{
    close();
}

} // namespace vistrel
