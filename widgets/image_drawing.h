#pragma once
// Vector drawings behind the image lists, each in a 16 x 16 coordinate space.

class QPainter;

namespace vistrel::images {

using Drawing = void (*)(QPainter& painter);

// The drawing for an even index of the toolbar image list (nullptr for odd indexes).
Drawing toolbarDrawing(int index);
// The drawing for a status-pane image, 0 to 5.
Drawing statusDrawing(int index);
// The window icon.
void drawApplication(QPainter& painter);

} // namespace vistrel::images
