#include "platform/widgets/WindowSystem.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QWidget>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
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

std::optional<QRect> WindowSystem::frameOnServer(const QWidget *window)
{
    if (!window || !window->testAttribute(Qt::WA_WState_Created) ||
        QGuiApplication::platformName() != QLatin1String("xcb"))
        return std::nullopt;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return std::nullopt;
    xcb_connection_t *connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->window()->winId());

    static constexpr char kName[] = "_NET_FRAME_EXTENTS";
    const xcb_intern_atom_cookie_t atomAsked =
        xcb_intern_atom(connection, 1, sizeof kName - 1, kName);
    const xcb_get_geometry_cookie_t geometryAsked = xcb_get_geometry(connection, id);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, atomAsked, nullptr), &std::free);
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
        xcb_get_geometry_reply(connection, geometryAsked, nullptr), &std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE || !geometry)
        return std::nullopt;
    const xcb_translate_coordinates_cookie_t placeAsked =
        xcb_translate_coordinates(connection, id, geometry->root, 0, 0);
    const xcb_get_property_cookie_t extentsAsked =
        xcb_get_property(connection, 0, id, atom->atom, XCB_ATOM_CARDINAL, 0, 4);
    std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&std::free)> place(
        xcb_translate_coordinates_reply(connection, placeAsked, nullptr), &std::free);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> extents(
        xcb_get_property_reply(connection, extentsAsked, nullptr), &std::free);
    if (!place || !extents || extents->format != 32 ||
        xcb_get_property_value_length(extents.get()) != 4 * 4)
        return std::nullopt;
    // left, right, top, bottom
    const auto *edge = static_cast<const std::uint32_t *>(xcb_get_property_value(extents.get()));
    return QRect(place->dst_x - int(edge[0]), place->dst_y - int(edge[2]),
                 geometry->width + int(edge[0] + edge[1]),
                 geometry->height + int(edge[2] + edge[3]));
}
