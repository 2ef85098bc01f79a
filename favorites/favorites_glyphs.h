#pragma once
// The small pictures of the favorites manager: one 16x16 glyph per button and the sign of the
// information panel, drawn in code so that the dialog needs no image files.

#include <QIcon>
#include <QPixmap>

namespace vistrel::favorites {

enum class Glyph { Add, Replace, Cancel, Edit, Remove, Up, Down, Close };

// A button glyph; its disabled image is derived from the normal one by the style.
QIcon buttonGlyph(Glyph glyph);
// The sign shown beside the "list is full" text.
QPixmap infoPanelGlyph();
// The folder picture of the folder field's side button.
QIcon folderGlyph();

} // namespace vistrel::favorites
