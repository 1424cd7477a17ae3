#include "platform/widgets/WindowSystem.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QWidget>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <xcb/xcb.h>

bool WindowSystem::installToolkitTranslation()
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void WindowSystem::offerFixedFrame(QWidget *window)
{
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t *connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->window()->winId());

    static constexpr char kName[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof kName - 1, kName), nullptr);
    if (!atom)
        return;
    // The Motif window manager hints, written out here because no Debian library offers them
    // apart from a window manager's own sources: flags, functions, decorations, input mode,
    // status.
    enum : std::uint32_t {
        kHintsFunctions = 1u << 0,
        kHintsDecorations = 1u << 1,
        kFuncMove = 1u << 2,
        kFuncMinimize = 1u << 3,
        kFuncClose = 1u << 5,
        kDecorBorder = 1u << 1,
        kDecorTitle = 1u << 3,
        kDecorMenu = 1u << 4,
        kDecorMinimize = 1u << 5,
    };
    const std::array<std::uint32_t, 5> hints{
        kHintsFunctions | kHintsDecorations, kFuncMove | kFuncMinimize | kFuncClose,
        kDecorBorder | kDecorTitle | kDecorMenu | kDecorMinimize, 0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom->atom, atom->atom, 32,
                        hints.size(), hints.data());
    xcb_flush(connection);
    std::free(atom);
}
