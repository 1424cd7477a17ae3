#pragma once

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

} // namespace WindowSystem
