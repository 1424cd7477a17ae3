#pragma once

#include <QRect>
#include <optional>

class QWidget;

// What the program asks of the window system beyond the toolkit's defaults.
namespace WindowSystem
{

// Loads the toolkit's own Japanese texts (its dialogs' "Look in:", "File name:", the overwrite
// question) from the toolkit's translations folder, for a window that speaks Japanese whatever
// the desktop's language. False when the translation is not installed: the toolkit then stays
// in English.
bool installToolkitTranslation();

// Tells an X11 window manager that the top-level window of `window` has a fixed frame: it may be
// moved, minimised and closed, but neither resized nor maximised. The toolkit always offers
// resizing in the window's Motif hints, even for a window of fixed size. Creates the native
// window when it does not exist yet; does nothing on other platforms.
void offerFixedFrame(QWidget *window);

// Where the X server has the window manager's frame of the top-level window `window`, in device
// pixels: the client's place on the root window less the frame extents the manager announces.
// Asked of the server, as the toolkit's own idea of it can be left behind by the manager's
// placement on a loaded desktop. Nothing on other platforms, before the native window exists or
// before a manager has framed it.
std::optional<QRect> frameOnServer(const QWidget *window);

} // namespace WindowSystem
